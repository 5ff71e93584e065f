// The host application's operations that the plug-in uses, with the SDK's
// names and shapes, and the portable stand-in behind them. The stand-in's
// scene-building classes are in host_scene.h; the few setters that must be
// members (INode, Mesh, Interface) are marked "Stand-in" here.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/max/rnormal_list.h"
#include "platform/win32/win32_api.h"

// ---- Basic types ---------------------------------------------------------

typedef int TimeValue;
typedef unsigned long SClass_ID;
typedef unsigned short MtlID;

constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
constexpr SClass_ID CAMERA_CLASS_ID = 0x20;
constexpr SClass_ID LIGHT_CLASS_ID = 0x30;
constexpr SClass_ID SHAPE_CLASS_ID = 0x40;
constexpr SClass_ID HELPER_CLASS_ID = 0x50;
constexpr SClass_ID MATERIAL_CLASS_ID = 0xc00;
constexpr SClass_ID TEXMAP_CLASS_ID = 0xc10;
constexpr SClass_ID UTILITY_CLASS_ID = 0x1020;

constexpr unsigned long TRIOBJ_CLASS_ID = 9;
constexpr unsigned long BMTEX_CLASS_ID = 0x240;
constexpr int APP_PLUGCFG_DIR = 9;
constexpr int ROLLUP_CAT_STANDARD = 4000;
constexpr DWORD APPENDROLL_CLOSED = 1;
constexpr DWORD SPECIFIED_NORMAL = 0x4000;
constexpr DWORD NORCT_MASK = 0xff;

class Class_ID {
public:
    Class_ID() = default;
    Class_ID(unsigned long a, unsigned long b) : a_(a), b_(b) {}
    unsigned long PartA() const { return a_; }
    unsigned long PartB() const { return b_; }
    bool operator==(const Class_ID& o) const { return a_ == o.a_ && b_ == o.b_; }
    bool operator!=(const Class_ID& o) const { return !(*this == o); }

private:
    unsigned long a_ = 0xffffffff;
    unsigned long b_ = 0xffffffff;
};

// 8-bit text, as the host hands names and paths out.
class CStr {
public:
    CStr() = default;
    CStr(const char* text) : s_(text ? text : "") {}
    CStr(std::string text) : s_(std::move(text)) {}
    operator char*() { return s_.data(); }
    operator const char*() const { return s_.c_str(); }
    const char* data() const { return s_.c_str(); }
    int Length() const { return static_cast<int>(s_.size()); }
    CStr& operator+=(const char* text) {
        s_ += text ? text : "";
        return *this;
    }
    CStr operator+(const char* text) const { return CStr(s_ + (text ? text : "")); }
    const std::string& str() const { return s_; }

private:
    std::string s_;
};
typedef CStr MSTR;

class Point3 {
public:
    float x = 0, y = 0, z = 0;
    Point3() = default;
    Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}
    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    Point3 operator+(const Point3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Point3 operator-(const Point3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Point3 operator*(float f) const { return {x * f, y * f, z * f}; }
    Point3& operator+=(const Point3& o) {
        x += o.x, y += o.y, z += o.z;
        return *this;
    }
    bool operator==(const Point3& o) const { return x == o.x && y == o.y && z == o.z; }
    float Length() const;
};
Point3 CrossProd(const Point3& a, const Point3& b);
float DotProd(const Point3& a, const Point3& b);
Point3 Normalize(const Point3& p);  // a zero vector stays zero
typedef Point3 UVVert;
typedef Point3 VertColor;

// Rows 0-2 are the axes, row 3 the translation.
class Matrix3 {
public:
    Matrix3();                        // identity
    explicit Matrix3(bool identity);  // false: all zero (a cleared matrix)
    void SetRow(int i, const Point3& p) { m_[i] = p; }
    const Point3& GetRow(int i) const { return m_[i]; }
    void IdentityMatrix();
    void Zero();
    Matrix3 operator*(const Matrix3& b) const;  // this first, then b
    bool operator==(const Matrix3& o) const;

private:
    Point3 m_[4];
};
// Moves a point by the transform.
Point3 operator*(const Matrix3& m, const Point3& p);
Matrix3 RotateXMatrix(float angle);
Matrix3 TransMatrix(const Point3& p);
Matrix3 ScaleMatrix(const Point3& s);

struct Interval {
    TimeValue start = 0;
    TimeValue end = 0;
};

// ---- Meshes ------------------------------------------------------------

class Face {
public:
    DWORD v[3] = {0, 0, 0};
    DWORD smGroup = 0;
    DWORD flags = 0;  // material ID in the upper 16 bits
    void setVerts(DWORD a, DWORD b, DWORD c) { v[0] = a, v[1] = b, v[2] = c; }
    void setSmGroup(DWORD bits) { smGroup = bits; }
    MtlID getMatID() const { return static_cast<MtlID>(flags >> 16); }
    void setMatID(MtlID id) { flags = (flags & 0xffff) | (static_cast<DWORD>(id) << 16); }
};

// Texture or colour vertex indices of one face.
class TVFace {
public:
    DWORD t[3] = {0, 0, 0};
    void setTVerts(DWORD a, DWORD b, DWORD c) { t[0] = a, t[1] = b, t[2] = c; }
};

class RNormal {
public:
    Point3 normal;
    DWORD smGroup = 0;
    MtlID mtlIndex = 0;
    const Point3& getNormal() const { return normal; }
    DWORD getSmGroup() const { return smGroup; }
};

// A vertex's render normals: one in `rn`, or several in `ern` with the count
// in the low byte of `rFlags`; SPECIFIED_NORMAL marks a normal given by a file.
class RVertex {
public:
    DWORD rFlags = 0;
    RNormal rn;
    RNormalList<RNormal> ern;
};
static_assert(sizeof(RVertex) <= 32, "a mesh holds one render vertex per vertex");

class Mesh {
public:
    // Arrays in the SDK's names; counts kept by the setters below.
    int numVerts = 0, numFaces = 0, numTVerts = 0, numCVerts = 0;
    std::vector<Point3> verts;
    std::vector<Face> faces;
    std::vector<UVVert> tVerts;      // map channel 1
    std::vector<TVFace> tvFace;      // map channel 1; empty when the channel is absent
    std::vector<VertColor> vertCol;  // colour vertices
    std::vector<TVFace> vcFace;      // colour faces; empty when there are no colours

    void setNumVerts(int n);
    void setNumFaces(int n);    // also resizes present tvFace/vcFace
    void setNumTVerts(int n);   // n > 0 gives tvFace one entry per face
    void setNumVertCol(int n);  // n > 0 gives vcFace one entry per face
    int getNumVerts() const { return numVerts; }
    int getNumFaces() const { return numFaces; }
    int getNumTVerts() const { return numTVerts; }
    Point3& getVert(int i) { return verts[i]; }
    const Point3& getVert(int i) const { return verts[i]; }
    void setVert(int i, const Point3& p) { verts[i] = p; }

    // Face normals and render vertex normals from the smoothing groups, in
    // linear time; specified normals are kept as they are. When every vertex
    // has one, the face normals are worked out only on their first request.
    void buildNormals();
    RVertex& getRVert(int i) { return rVerts_[i]; }
    const RVertex& getRVert(int i) const { return rVerts_[i]; }
    Point3& getFaceNormal(int i) { return FaceNormals()[i]; }
    const Point3& getFaceNormal(int i) const { return FaceNormals()[i]; }

    // Stand-in: per-vertex normals from a file, stored as specified normals.
    void SetSpecifiedNormals(std::vector<Point3> perVertex);

private:
    std::vector<Point3>& FaceNormals() const {
        if (faceNormalsPending_) BuildFaceNormals();
        return faceNormals_;
    }
    void BuildFaceNormals() const;

    std::vector<RVertex> rVerts_;
    mutable std::vector<Point3> faceNormals_;
    mutable bool faceNormalsPending_ = false;
    std::vector<Point3> specified_;
};

// ---- Scene objects -----------------------------------------------------

class Animatable {
public:
    virtual ~Animatable() = default;
    virtual Class_ID ClassID() { return Class_ID(0, 0); }
    virtual SClass_ID SuperClassID() = 0;
    virtual void DeleteThis() { delete this; }
};

class Object : public Animatable {
public:
    virtual int CanConvertToType(Class_ID /*obtype*/) { return 0; }
    // May return this object itself or a new object that the caller owns.
    virtual Object* ConvertToType(TimeValue /*t*/, Class_ID /*obtype*/) { return nullptr; }
};

class TriObject : public Object {
public:
    Mesh mesh;
    Mesh& GetMesh() { return mesh; }
    Class_ID ClassID() override { return Class_ID(TRIOBJ_CLASS_ID, 0); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
};

class ObjectState {
public:
    ObjectState() = default;
    explicit ObjectState(Object* o) : obj(o) {}
    Object* obj = nullptr;
};

// ---- Materials ---------------------------------------------------------

class Texmap;

class MtlBase : public Animatable {
public:
    CStr& GetName() { return name_; }
    void SetName(const CStr& name) { name_ = name; }
    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int /*i*/) { return nullptr; }

private:
    CStr name_;
};

class Texmap : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
};

class BitmapTex : public Texmap {
public:
    Class_ID ClassID() override { return Class_ID(BMTEX_CLASS_ID, 0); }
    const char* GetMapName() { return mapName_.c_str(); }
    void SetMapName(const char* name) { mapName_ = name ? name : ""; }

private:
    std::string mapName_;
};

class Mtl : public MtlBase {
public:
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    virtual int IsMultiMtl() { return 0; }
    virtual int NumSubMtls() { return 0; }
    virtual Mtl* GetSubMtl(int /*i*/) { return nullptr; }
};

// ---- Nodes -------------------------------------------------------------

class INode {
public:
    INode() = default;
    ~INode();
    INode(const INode&) = delete;
    INode& operator=(const INode&) = delete;

    const char* GetName() { return name_.c_str(); }
    int Selected() { return selected_ ? 1 : 0; }
    int NumberOfChildren() { return static_cast<int>(children_.size()); }
    INode* GetChildNode(int i);
    INode* GetParentNode() { return parent_; }
    // The object at time t (the last key at or before t); hidden nodes too.
    ObjectState EvalWorldState(TimeValue t, BOOL evalHidden = TRUE);
    Matrix3 GetObjTMAfterWSM(TimeValue t, Interval* valid = nullptr);
    Mtl* GetMtl() { return mtl_; }

    // Stand-in scene building. Children and objects are owned by the node;
    // materials by whoever made them (HostScene).
    INode* CreateChild(const std::string& name);
    void SetName(const std::string& name) { name_ = name; }
    void SetSelected(bool selected) { selected_ = selected; }
    void SetHidden(bool hidden) { hidden_ = hidden; }
    void SetObject(Object* obj, TimeValue t = 0);
    void SetObjTM(const Matrix3& tm, TimeValue t = 0);
    void SetMtl(Mtl* mtl) { mtl_ = mtl; }

private:
    std::string name_;
    bool selected_ = false;
    bool hidden_ = false;
    INode* parent_ = nullptr;
    std::vector<std::unique_ptr<INode>> children_;
    std::map<TimeValue, Object*> objects_;
    std::map<TimeValue, Matrix3> transforms_;
    Mtl* mtl_ = nullptr;
};

// ---- Plug-in protocol --------------------------------------------------

class Interface;
class HostScene;

class IUtil {
public:
    virtual ~IUtil() = default;
    virtual void CloseUtility() {}
};

class UtilityObj {
public:
    virtual ~UtilityObj() = default;
    virtual void BeginEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void EndEditParams(Interface* ip, IUtil* iu) = 0;
    virtual void SelectionSetChanged(Interface* /*ip*/, IUtil* /*iu*/) {}
    virtual void DeleteThis() = 0;
    virtual void SetStartupParam(CStr /*param*/) {}
};

class ClassDesc {
public:
    virtual ~ClassDesc() = default;
    virtual int IsPublic() = 0;
    virtual void* Create(BOOL loading = FALSE) = 0;
    virtual const char* ClassName() = 0;
    virtual SClass_ID SuperClassID() = 0;
    virtual Class_ID ClassID() = 0;
    virtual const char* Category() = 0;
};

// The host interface. Its owner (a test, the console host) sets the scene,
// the configuration directory and the message pump.
class Interface {
public:
    Interface();
    virtual ~Interface();

    // A page is created inside the call (WM_INITDIALOG runs there).
    virtual HWND AddRollupPage(HINSTANCE hInst, const char* dlgTemplate, DLGPROC dlgProc,
                               const char* title, LPARAM param = 0, DWORD flags = 0,
                               int category = ROLLUP_CAT_STANDARD);
    virtual void DeleteRollupPage(HWND page);  // WM_DESTROY runs inside the call
    virtual void RollupMouseMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void RegisterDlgWnd(HWND dialog);
    virtual int UnRegisterDlgWnd(HWND dialog);
    virtual BOOL GetCancel() { return cancel_; }
    virtual void SetCancel(BOOL cancel) { cancel_ = cancel; }
    virtual const char* GetDir(int which);
    virtual INode* GetRootNode();
    virtual TimeValue GetTime() { return time_; }
    virtual void DisableAccelerators() { accelerators_ = false; }
    virtual void EnableAccelerators() { accelerators_ = true; }
    // Dispatches pending window messages; window procedures may run inside.
    virtual BOOL ProcessMessages();

    // Stand-in configuration and records.
    void SetScene(HostScene* scene) { scene_ = scene; }
    void SetTime(TimeValue t) { time_ = t; }
    void SetPluginConfigDir(const std::string& dir) { pluginCfgDir_ = dir; }
    void SetMessagePump(std::function<void()> pump) { pump_ = std::move(pump); }
    bool AcceleratorsEnabled() const { return accelerators_; }
    struct RollupPage {
        HWND window;
        std::string title;
        int templateId;
        DWORD flags;
        int category;
    };
    const std::vector<RollupPage>& RollupPages() const { return pages_; }
    const std::vector<HWND>& RegisteredDialogs() const { return dialogs_; }
    int MouseMessagesForwarded() const { return mouseMessages_; }
    HWND PanelWindow();  // the window that plays the command panel

private:
    HostScene* scene_ = nullptr;
    TimeValue time_ = 0;
    BOOL cancel_ = FALSE;
    bool accelerators_ = true;
    std::string pluginCfgDir_;
    std::function<void()> pump_;
    std::vector<RollupPage> pages_;
    std::vector<HWND> dialogs_;
    int mouseMessages_ = 0;
    HWND panel_ = nullptr;
};

void InitCustomControls(HINSTANCE hInst);
void CenterWindow(HWND window, HWND parent);
