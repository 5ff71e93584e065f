// The exporter's export operations; each hands off to the pipeline in export/.
#include "export/export_run.h"
#include "export/geob_builder.h"
#include "export/geode_assembly.h"
#include "export/material_extraction.h"
#include "export/preprocess.h"
#include "plugin/kvo_exporter.h"

void KVOExporter::DoExport(HWND panel) {
    exporter::DoExport(*this, panel);
}

bool KVOExporter::ExportNodes() {
    return exporter::ExportNodes(*this);
}

bool KVOExporter::ExportNode(PreparedNode& prepared) {
    return exporter::ExportNode(*this, prepared);
}

void KVOExporter::Preprocess() {
    exporter::Preprocess(*this);
}

TriObject* KVOExporter::ConvertToTriObject(INode* node, TimeValue t, bool& createdNew) {
    return exporter::ConvertToTriObject(node, t, createdNew);
}

void KVOExporter::ReleaseNodes() {
    exporter::ReleaseNodes(*this);
}

void KVOExporter::BuildMaterial(INode* node, KvoMaterial* materials, int materialIndex,
                                int materialId) {
    exporter::BuildMaterial(*this, node, materials, materialIndex, materialId);
}

std::string KVOExporter::GetDiffuseMapFile(Mtl* mtl) {
    return exporter::GetDiffuseMapFile(mtl);
}

std::string KVOExporter::StripPath(const std::string& path) {
    return exporter::StripPath(path);
}

std::string KVOExporter::SanitizeName(const std::string& text) {
    return exporter::SanitizeName(text);
}

bool KVOExporter::BuildGroupGeobs(INode* node, Mesh& mesh, const Matrix3& objectTM, KvoGeob* geobs,
                                  KvoMaterial* materials, int& geobCount, int materialIndex,
                                  uint32_t materialId, const std::vector<int32_t>& faces) {
    return exporter::BuildGroupGeobs(*this, node, mesh, objectTM, geobs, materials, geobCount,
                                     materialIndex, materialId, faces);
}

Point3 KVOExporter::GetVertexNormal(Mesh& mesh, int face, RVertex& rv) {
    return exporter::GetVertexNormal(mesh, face, rv);
}

bool KVOExporter::BuildGeode(KvoGeode& geode, PreparedNode& prepared) {
    return exporter::BuildGeode(*this, geode, prepared);
}
