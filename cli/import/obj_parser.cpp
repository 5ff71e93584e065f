#include "cli/import/obj_parser.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cli/import/mtl_parser.h"
#include "cli/import/obj_number.h"

namespace kvoimport {

namespace {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline const char* SkipBlanks(const char* p, const char* end) {
    while (p < end && IsBlank(*p)) ++p;
    return p;
}

inline const char* WordEnd(const char* p, const char* end) {
    while (p < end && !IsBlank(*p)) ++p;
    return p;
}

// The start of a word, for a reason given in words.
std::string Excerpt(const char* p, const char* end) {
    return std::string(p, std::min<size_t>(static_cast<size_t>(WordEnd(p, end) - p), 32));
}

// Bytes that the importer takes as line ends, or that no name should hold.
bool HasControl(const char* p, const char* end) {
    for (; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 && c != '\t') return true;
    }
    return false;
}

// What a line opens with, as far as the sizes of the model's arrays go: the
// kind of statement, told by its first bytes only.
enum class LineKind { Other, Vertex, TextureVertex, Normal, Face, MeshChange };

// Lines too short for their numbers ("v 0 0 0", "vt 0 0", "vn 0 0 0", "f 1 2 3")
// are not counted, so a hostile file cannot have more reserved than it can fill.
LineKind KindOf(const char* p, const char* end) {
    const ptrdiff_t length = end - p;
    if (length < 2) return LineKind::Other;
    if (IsBlank(p[1])) {
        if (p[0] == 'v' && length >= 7) return LineKind::Vertex;
        if (p[0] == 'f' && length >= 7) return LineKind::Face;
        if (p[0] == 'o' || p[0] == 'g') return LineKind::MeshChange;
        return LineKind::Other;
    }
    if (p[0] == 'v' && length > 2 && IsBlank(p[2])) {
        if (p[1] == 't' && length >= 6) return LineKind::TextureVertex;
        if (p[1] == 'n' && length >= 8) return LineKind::Normal;
    }
    if (end - p > 6 && std::memcmp(p, "usemtl", 6) == 0 && IsBlank(p[6])) {
        return LineKind::MeshChange;
    }
    return LineKind::Other;
}

// The bounds of the line at `from` (without its line end) and where the next begins.
inline void LineAt(const char* from, const char* end, const char*& stop, const char*& next) {
    const char* newline = static_cast<const char*>(std::memchr(from, '\n', end - from));
    stop = newline ? newline : end;
    next = newline ? newline + 1 : end;
    if (stop > from && stop[-1] == '\r') --stop;
}

}  // namespace

void ObjSizeCounter::Feed(const char* data, size_t from, size_t to) {
    const char* const base = data;
    // The line from `line_` to the line end at `stop`.
    const auto take = [&](size_t stop) {
        const char* first = base + line_;
        const char* last = base + stop;
        if (last > first && last[-1] == '\r') --last;
        if (!continued_) Tally(static_cast<int>(KindOf(first, last)));
        continued_ = last > first && last[-1] == '\\';
        line_ = stop + 1;
    };
    size_t at = from;
#if defined(__SSE2__)
    // Sixteen bytes a step, without a call per line.
    const __m128i newline = _mm_set1_epi8('\n');
    for (; to - at >= 16; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
        for (; mask != 0; mask &= mask - 1) take(at + static_cast<size_t>(__builtin_ctz(mask)));
    }
#endif
    for (; at < to; ++at) {
        if (data[at] == '\n') take(at);
    }
}

ObjSizeHint ObjSizeCounter::Finish(const char* data, size_t size) {
    if (line_ < size) {
        const char* first = data + line_;
        const char* last = data + size;
        if (last > first && last[-1] == '\r') --last;
        if (!continued_) Tally(static_cast<int>(KindOf(first, last)));
    }
    line_ = size;
    return std::move(hint_);
}

void ObjSizeCounter::Tally(int kind) {
    switch (static_cast<LineKind>(kind)) {
        case LineKind::Vertex:
            ++hint_.vertices;
            break;
        case LineKind::TextureVertex:
            ++hint_.textureVertices;
            break;
        case LineKind::Normal:
            ++hint_.normals;
            break;
        case LineKind::Face:
            ++hint_.faces.back();
            break;
        case LineKind::MeshChange:
            hint_.faces.push_back(0);
            break;
        case LineKind::Other:
            break;
    }
}

namespace {

class Parser {
public:
    Parser(const ObjSource& source, ObjModel& model, std::vector<std::string>& mtlFiles,
           std::string& reason)
        : source_(source), model_(model), mtlFiles_(mtlFiles), reason_(reason) {}

    // Sizes the model's arrays from the hint, which must outlive the parser.
    void Reserve(const ObjSizeHint& hint);
    // A line that may change the mesh faces go to: the next stretch of the hint.
    void NextStretch() {
        ++stretch_;
        stretchFaces_ = 0;
    }
    // `line` is the number of the line's first physical line.
    bool Line(const char* p, const char* end, size_t line);
    bool Finish();

private:
    bool Refuse(const std::string& why) {
        reason_ = why + " (line " + std::to_string(line_) + ")";
        return false;
    }
    bool Numbers(const char* p, const char* end, float* out, int& count, int most);
    bool Vertex(const char* p, const char* end);
    bool TextureVertex(const char* p, const char* end);
    bool Normal(const char* p, const char* end);
    bool Face(const char* p, const char* end);
    const char* Corner(const char* p, const char* end, int& form, ObjCorner& corner);
    bool Resolve(int32_t index, uint32_t count, uint32_t& out);
    bool Name(const char* p, const char* end, std::string& name);
    bool Object(const char* p, const char* end);
    bool Group(const char* p, const char* end);
    bool UseMaterial(const char* p, const char* end);
    bool MaterialLibrary(const char* p, const char* end);

    const ObjSource& source_;
    ObjModel& model_;
    std::vector<std::string>& mtlFiles_;
    std::string& reason_;
    size_t line_ = 0;
    const ObjSizeHint* hint_ = nullptr;
    size_t stretch_ = 0;         // the hint's stretch the line is in
    uint32_t stretchFaces_ = 0;  // faces of the stretch so far
};

void Parser::Reserve(const ObjSizeHint& hint) {
    hint_ = &hint;
    model_.positions.reserve(hint.vertices * 3);
    model_.uvs.reserve(hint.textureVertices * 3);
    model_.normals.reserve(hint.normals * 3);
}

bool Parser::Numbers(const char* p, const char* end, float* out, int& count, int most) {
    count = 0;
    for (p = SkipBlanks(p, end); p < end; p = SkipBlanks(p, end)) {
        const char* next = count < most ? ScanObjFloat(p, end, out[count]) : nullptr;
        if (next == nullptr || (next < end && !IsBlank(*next))) {
            return Refuse("the number '" + Excerpt(p, end) + "'");
        }
        ++count;
        p = next;
    }
    return true;
}

bool Parser::Vertex(const char* p, const char* end) {
    float n[7];
    int count = 0;
    if (!Numbers(p, end, n, count, 7)) return false;
    if (count == 4) {
        // Homogeneous coordinates, divided as the importer does.
        if (n[3] == 0) return Refuse("a vertex of weight 0");
        n[0] /= n[3];
        n[1] /= n[3];
        n[2] /= n[3];
    } else if (count == 6) {
        if (model_.colors.capacity() == 0) model_.colors.reserve(model_.positions.capacity());
        model_.colors.insert(model_.colors.end(), n + 3, n + 6);
    } else if (count != 3) {
        return Refuse("a vertex of " + std::to_string(count) + " numbers");
    }
    model_.positions.insert(model_.positions.end(), n, n + 3);
    return true;
}

bool Parser::TextureVertex(const char* p, const char* end) {
    float n[3] = {0, 0, 0};
    int count = 0;
    if (!Numbers(p, end, n, count, 3)) return false;
    if (count < 2) return Refuse("a texture vertex of " + std::to_string(count) + " numbers");
    // Infinities (and overflows) count as 0, the OBJ default.
    for (float& f : n) {
        if (!(f - f == 0)) f = 0;
    }
    model_.uvs.insert(model_.uvs.end(), n, n + 3);
    return true;
}

bool Parser::Normal(const char* p, const char* end) {
    float n[3];
    int count = 0;
    if (!Numbers(p, end, n, count, 3)) return false;
    if (count != 3) return Refuse("a normal of " + std::to_string(count) + " numbers");
    model_.normals.insert(model_.normals.end(), n, n + 3);
    return true;
}

// An index of the file (1-based, or negative from the end so far) as 0-based.
bool Parser::Resolve(int32_t index, uint32_t count, uint32_t& out) {
    if (index > 0) {
        out = static_cast<uint32_t>(index - 1);  // may name a later vertex
        return true;
    }
    const int64_t from = int64_t{count} + index;
    if (from < 0) return Refuse("a relative index before the first vertex");
    out = static_cast<uint32_t>(from);
    return true;
}

// v, v/vt, v//vn or v/vt/vn at `p`; `form` has bit 1 for vt and bit 2 for
// vn. The end of the corner's text, or nullptr.
const char* Parser::Corner(const char* p, const char* end, int& form, ObjCorner& corner) {
    int32_t v = 0, vt = 0, vn = 0;
    form = 0;
    const char* q = ScanObjIndex(p, end, v);
    if (q != nullptr && q < end && *q == '/') {
        ++q;
        if (q < end && *q == '/') {
            q = ScanObjIndex(q + 1, end, vn);
            form = 2;
        } else {
            q = ScanObjIndex(q, end, vt);
            form = 1;
            if (q != nullptr && q < end && *q == '/') {
                q = ScanObjIndex(q + 1, end, vn);
                form = 3;
            }
        }
    }
    if (q == nullptr || (q < end && !IsBlank(*q))) {
        Refuse("the face corner '" + Excerpt(p, end) + "'");
        return nullptr;
    }
    corner = {kObjNoIndex, kObjNoIndex, kObjNoIndex};
    if (!Resolve(v, model_.PositionCount(), corner.v)) return nullptr;
    if ((form & 1) != 0) {
        // Without texture vertices so far, the importer reads this index as a normal's.
        if (model_.UvCount() == 0) {
            Refuse("a texture index before any texture vertex");
            return nullptr;
        }
        if (!Resolve(vt, model_.UvCount(), corner.vt)) return nullptr;
    }
    if ((form & 2) != 0 && !Resolve(vn, model_.NormalCount(), corner.vn)) return nullptr;
    return q;
}

bool Parser::Face(const char* p, const char* end) {
    ObjCorner corners[4];
    int count = 0, faceForm = -1;
    for (p = SkipBlanks(p, end); p < end; p = SkipBlanks(p, end)) {
        if (count == 4) return Refuse("a polygon of more than four corners");
        int form = 0;
        p = Corner(p, end, form, corners[count]);
        if (p == nullptr) return false;
        if (faceForm >= 0 && form != faceForm) return Refuse("a face mixing corner forms");
        faceForm = form;
        ++count;
    }
    if (count < 3) return Refuse("a face of " + std::to_string(count) + " corners");
    if (model_.currentObject == kObjNoIndex) AddObjObject(model_, kObjDefaultObject);
    ObjMesh& mesh = model_.meshes[model_.currentMesh];
    if (mesh.faceSizes.capacity() == 0 && hint_ != nullptr && stretch_ < hint_->faces.size() &&
        hint_->faces[stretch_] > stretchFaces_) {
        // The rest of the stretch, at four corners a face at most.
        const size_t faces = hint_->faces[stretch_] - stretchFaces_;
        mesh.corners.reserve(faces * 4);
        mesh.faceSizes.reserve(faces);
    }
    ++stretchFaces_;
    mesh.corners.insert(mesh.corners.end(), corners, corners + count);
    mesh.faceSizes.push_back(static_cast<uint8_t>(count));
    mesh.anyUvs = mesh.anyUvs || (faceForm & 1) != 0;
    mesh.anyNormals = mesh.anyNormals || (faceForm & 2) != 0;
    ++model_.faceCount;
    return true;
}

// The rest of a statement as a name, without its trailing blanks.
bool Parser::Name(const char* p, const char* end, std::string& name) {
    p = SkipBlanks(p, end);
    while (end > p && IsBlank(end[-1])) --end;
    if (HasControl(p, end)) return Refuse("a control character in a name");
    if (static_cast<size_t>(end - p) > kObjMaxName) return Refuse("a name too long");
    name.assign(p, end);
    return true;
}

// `o`: a new object, or back to the first one of that name.
bool Parser::Object(const char* p, const char* end) {
    std::string name;
    if (!Name(p, end, name)) return false;
    if (name.empty()) return true;
    const auto found = model_.objectIndex.find(name);
    if (found != model_.objectIndex.end()) {
        // The importer goes on filling the current mesh, whoever's it is.
        model_.currentObject = found->second;
    } else {
        AddObjObject(model_, name);
    }
    return true;
}

// `g`: a new object whenever the group changes.
bool Parser::Group(const char* p, const char* end) {
    std::string name;
    if (!Name(p, end, name)) return false;
    if (name != model_.activeGroup) {
        AddObjObject(model_, name);
        model_.activeGroup = std::move(name);
    }
    return true;
}

bool Parser::UseMaterial(const char* p, const char* end) {
    std::string name;
    if (!Name(p, end, name)) return false;
    if (name.empty()) return true;
    if (model_.currentMaterial != kObjNoIndex &&
        model_.materials[model_.currentMaterial].name == name) {
        return true;
    }
    bool added = false;
    const uint32_t index = ObjMaterialOf(model_, name, added);
    model_.currentMaterial = index;
    // A new mesh unless the current one has no faces or no material yet.
    bool newMesh = model_.currentMesh == kObjNoIndex;
    if (!newMesh) {
        const ObjMesh& mesh = model_.meshes[model_.currentMesh];
        newMesh = mesh.material != kObjNoIndex && mesh.material != index && !mesh.corners.empty();
    }
    if (newMesh) AddObjMesh(model_, name);
    model_.meshes[model_.currentMesh].material = index;
    return true;
}

bool Parser::MaterialLibrary(const char* p, const char* end) {
    p = SkipBlanks(p, end);
    if (p == end) return true;
    if (HasControl(p, end)) return Refuse("a control character in a name");
    // The whole rest of the line, from the OBJ's folder.
    const std::string name(p, end);
    const std::string& obj = source_.path;
    const size_t slash = obj.find_last_of("\\/");
    std::string path = name;
    if (slash != std::string::npos && slash > 0) {
        std::string folder = obj.substr(0, slash);
        if (folder.back() != '/') folder += '/';
        path = folder + name;
    }
    std::string bytes;
    MtlFile status = source_.readMtl ? source_.readMtl(path, bytes) : MtlFile::Missing;
    if (status == MtlFile::Missing) {
        path = obj.substr(0, obj.size() >= 3 ? obj.size() - 3 : 0) + "mtl";
        status = source_.readMtl ? source_.readMtl(path, bytes) : MtlFile::Missing;
    }
    if (status == MtlFile::Unusable) {
        return Refuse("an .mtl that is no regular file or that Assimp looks for elsewhere: " +
                      path);
    }
    if (status == MtlFile::Missing) return true;
    mtlFiles_.push_back(path);
    std::string why;
    if (!ParseMtl(bytes.data(), bytes.size(), model_, why)) return Refuse(why + " in " + path);
    return true;
}

bool Parser::Line(const char* p, const char* end, size_t line) {
    line_ = line;
    if (p == end) return true;
    const char c = *p;
    // The statements of most lines, without looking for the end of the word.
    if (end - p > 2 && IsBlank(p[1])) {
        if (c == 'v') return Vertex(p + 2, end);
        if (c == 'f') return Face(p + 2, end);
    }
    // Comments, and lines that open with a blank, which the importer skips.
    if (c == '#' || IsBlank(c)) {
        if (HasControl(p, end)) return Refuse("a control character");
        return true;
    }
    const char* word = WordEnd(p, end);
    const size_t length = static_cast<size_t>(word - p);
    if (length == 1) {
        switch (c) {
            case 'v':
                return Vertex(word, end);
            case 'f':
                return Face(word, end);
            case 'o':
                return Object(word, end);
            case 'g':
                return Group(word, end);
            case 's':
                return !HasControl(word, end) || Refuse("a control character");
            default:
                break;
        }
    } else if (length == 2 && c == 'v') {
        if (p[1] == 't') return TextureVertex(word, end);
        if (p[1] == 'n') return Normal(word, end);
    } else if (length == 6 && std::memcmp(p, "usemtl", 6) == 0) {
        return UseMaterial(word, end);
    } else if (length == 6 && std::memcmp(p, "mtllib", 6) == 0) {
        return MaterialLibrary(word, end);
    }
    return Refuse("the statement '" + std::string(p, std::min<size_t>(length, 32)) + "'");
}

bool Parser::Finish() {
    if (model_.faceCount == 0) return Refuse("no faces");
    const uint32_t positions = model_.PositionCount(), uvs = model_.UvCount(),
                   normals = model_.NormalCount();
    for (const ObjMesh& mesh : model_.meshes) {
        for (const ObjCorner& c : mesh.corners) {
            if (c.v >= positions || (c.vt != kObjNoIndex && c.vt >= uvs) ||
                (c.vn != kObjNoIndex && c.vn >= normals)) {
                reason_ = "a face index out of range";
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool ParseObj(const char* data, size_t size, const ObjSource& source, ObjModel& model,
              std::vector<std::string>& mtlFiles, std::string& reason, const ObjSizeHint* hint) {
    StartObjModel(model);
    Parser parser(source, model, mtlFiles, reason);
    const char* p = data;
    const char* const end = data + size;
    ObjSizeHint counted;
    if (hint == nullptr) {
        ObjSizeCounter counter;
        counter.Feed(data, 0, size);
        counted = counter.Finish(data, size);
        hint = &counted;
    }
    parser.Reserve(*hint);
    std::string joined;
    size_t line = 0;
    while (p < end) {
        const char *stop, *next;
        LineAt(p, end, stop, next);
        const size_t first = ++line;
        if (KindOf(p, stop) == LineKind::MeshChange) parser.NextStretch();
        if (stop > p && stop[-1] == '\\') {
            // A backslash at the end joins the next line to this one.
            joined.assign(p, stop - 1);
            for (;;) {
                ++line;
                if (next >= end || *next == '\n' || *next == '\r' || *next == '\\') {
                    reason = "a line continued into nothing (line " + std::to_string(line) + ")";
                    return false;
                }
                const char* from = next;
                LineAt(from, end, stop, next);
                const bool more = stop > from && stop[-1] == '\\';
                joined.append(from, more ? stop - 1 : stop);
                if (!more) break;
            }
            if (!parser.Line(joined.data(), joined.data() + joined.size(), first)) return false;
        } else if (!parser.Line(p, stop, first)) {
            return false;
        }
        p = next;
    }
    return parser.Finish();
}

}  // namespace kvoimport
