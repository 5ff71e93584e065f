// One node of an export run: its mesh at time 0 with its faces grouped by
// material ID.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/max/max_sdk.h"

struct PreparedNode {
    PreparedNode() : objectTM(false) {}
    ~PreparedNode();
    PreparedNode(const PreparedNode&) = delete;
    PreparedNode& operator=(const PreparedNode&) = delete;

    INode* node = nullptr;
    uint32_t faceCount = 0;
    std::map<uint32_t, std::vector<int32_t>> facesByMaterial;
    Matrix3 objectTM;
    Mesh* mesh = nullptr;
    // A TriObject that the conversion created for this node; deleted with the record.
    Object* createdTriObject = nullptr;
};

typedef std::vector<std::unique_ptr<PreparedNode>> PreparedNodeList;
