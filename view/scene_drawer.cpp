// Fixed-function OpenGL drawing of mesh parts: one directional light in eye
// space, orthographic framing, client-side vertex arrays; back faces tinted.
#include "view/scene_drawer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "textures/texture_lookup.h"
#include "view/camera.h"
#include "view/textures.h"

namespace kvoview {

const float kBackground[3] = {0.23f, 0.24f, 0.27f};

namespace {

// From the upper left, a little in front of the picture (eye space, directional).
const GLfloat kLightDirection[4] = {-0.35f, 0.55f, 1.0f, 0.0f};
const GLfloat kLightAmbient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
const GLfloat kLightDiffuse[4] = {0.75f, 0.75f, 0.75f, 1.0f};
const GLfloat kNoLight[4] = {0, 0, 0, 1};
const GLfloat kSurfaceGrey[3] = {0.62f, 0.62f, 0.62f};
const GLfloat kEdgeColour[3] = {0.08f, 0.08f, 0.1f};
const GLfloat kNoDataGrey[3] = {0.5f, 0.5f, 0.5f};

// Back faces: the mode's colours under this tint, so a surface seen from behind
// (an object inside out, an open shell seen from within) shows at a glance.
const GLfloat kBackTint[4] = {1.0f, 0.3f, 0.05f, 0.7f};

void DrawTriangles(const MeshPart& part) {
    glVertexPointer(3, GL_FLOAT, 0, part.positions.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part.indices.size()), GL_UNSIGNED_INT,
                   part.indices.data());
}

// Draws what `draw` issues as counter-clockwise front faces in the current state,
// then the back faces again in that state and once more under the translucent
// tint, at the same depths.
template <class Draw>
void DrawSides(Draw draw) {
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    draw();
    glCullFace(GL_FRONT);
    draw();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_COLOR_ARRAY);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glColor4fv(kBackTint);
    draw();
    glPopClientAttrib();
    glPopAttrib();
    glDisable(GL_CULL_FACE);
}

// Normals mapped from [-1, 1] to [0, 1] per component.
std::vector<float> NormalColours(const std::vector<float>& normals) {
    std::vector<float> colours(normals.size());
    for (size_t i = 0; i < normals.size(); ++i) {
        colours[i] = std::clamp(normals[i] * 0.5f + 0.5f, 0.0f, 1.0f);
    }
    return colours;
}

// The part unshared, one face normal per corner, for geobs without normals.
struct FlatPart {
    std::vector<float> positions, normals, texCoords;
};

FlatPart Flatten(const MeshPart& part) {
    FlatPart flat;
    const size_t corners = part.indices.size();
    flat.positions.reserve(corners * 3);
    flat.normals.reserve(corners * 3);
    if (!part.texCoords.empty()) flat.texCoords.reserve(corners * 2);
    for (size_t t = 0; t + 3 <= corners; t += 3) {
        const float* p[3];
        for (int k = 0; k < 3; ++k) p[k] = &part.positions[3 * size_t{part.indices[t + k]}];
        const float e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const float e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float& c : n) c = length > 0 ? c / length : 0;
        for (int k = 0; k < 3; ++k) {
            flat.positions.insert(flat.positions.end(), p[k], p[k] + 3);
            flat.normals.insert(flat.normals.end(), n, n + 3);
            if (!part.texCoords.empty()) {
                const float* uv = &part.texCoords[2 * size_t{part.indices[t + k]}];
                flat.texCoords.insert(flat.texCoords.end(), uv, uv + 2);
            }
        }
    }
    return flat;
}

}  // namespace

unsigned SceneDrawer::Upload(const Image& image, bool nearest) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    // OpenGL's first row is t = 0, the bottom of the picture, where v is 0.
    std::vector<uint8_t> rows(image.rgba.size());
    const size_t row = static_cast<size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::copy_n(&image.rgba[y * row], row, &rows[(image.height - 1 - y) * row]);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rows.data());
    return name;
}

unsigned SceneDrawer::TextureFor(const MaterialInfo& material, std::vector<std::string>* warnings) {
    if (material.texture.empty()) return 0;
    const auto known = options_.textureFiles.find(material.texture);
    kvotextures::TextureLookup lookup;
    if (known != options_.textureFiles.end()) {
        lookup.path = known->second;
    } else {
        lookup = kvotextures::LookupTexture(material.texture, {material.folder, textureDirs_});
    }
    const std::string& path = lookup.path;
    if (!missing_) missing_ = Upload(MissingTextureChecker(), true);
    if (path.empty()) {
        std::string where;
        for (const std::string& place : lookup.looked) {
            where += (where.empty() ? "'" : ", '") + place + "'";
        }
        const std::string what = lookup.notImage.empty()
                                     ? "not found (looked at " + where + ")"
                                     : "not an image ('" + lookup.notImage + "')";
        if (warned_.insert(material.texture + '\n' + where).second) {
            warnings->push_back("texture '" + material.texture + "' of material '" + material.name +
                                "' " + what + "; drawn as a checker");
        }
        return missing_;
    }
    const auto cached = textures_.find(path);
    if (cached != textures_.end()) return cached->second;
    Image image;
    std::string error;
    unsigned name = missing_;
    if (ReadImageFile(path, RenderOptions::kMaxSide, &image, &error)) {
        name = Upload(image, false);
    } else {
        warnings->push_back("cannot read texture '" + path + "': " + error +
                            "; drawn as a checker");
    }
    textures_.emplace(path, name);
    return name;
}

void SceneDrawer::DrawShaded(const MeshPart& part, const MeshSet& set,
                             std::vector<std::string>* warnings) {
    const MaterialInfo* material =
        part.material >= 0 ? &set.materials[static_cast<size_t>(part.material)] : nullptr;
    const unsigned texture =
        material && !part.texCoords.empty() ? TextureFor(*material, warnings) : 0;
    GLfloat colour[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    if (texture) {
        std::fill(colour, colour + 3, 1.0f);
    } else if (material) {
        std::copy(material->diffuse, material->diffuse + 3, colour);
    }
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, kNoLight);
    if (texture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    if (!part.normals.empty()) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, part.normals.data());
        if (texture) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, 0, part.texCoords.data());
        }
        DrawSides([&] { DrawTriangles(part); });
    } else {
        warnings->push_back(part.label + ": no normals; lit with face normals");
        const FlatPart flat = Flatten(part);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, flat.normals.data());
        if (texture) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, 0, flat.texCoords.data());
        }
        glVertexPointer(3, GL_FLOAT, 0, flat.positions.data());
        DrawSides([&] {
            glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(flat.positions.size() / 3));
        });
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
}

void SceneDrawer::DrawPart(const MeshPart& part, const MeshSet& set,
                           std::vector<std::string>* warnings) {
    switch (options_.mode) {
        case Mode::kShaded:
            DrawShaded(part, set, warnings);
            break;
        case Mode::kNormals:
            if (part.normals.empty()) {
                warnings->push_back(part.label + ": no normals; drawn grey");
                glColor3fv(kNoDataGrey);
                DrawSides([&] { DrawTriangles(part); });
            } else {
                const std::vector<float> colours = NormalColours(part.normals);
                glEnableClientState(GL_COLOR_ARRAY);
                glColorPointer(3, GL_FLOAT, 0, colours.data());
                DrawSides([&] { DrawTriangles(part); });
                glDisableClientState(GL_COLOR_ARRAY);
            }
            break;
        case Mode::kUv:
            if (part.texCoords.empty()) {
                warnings->push_back(part.label + ": no texture coordinates; drawn grey");
                glColor3fv(kNoDataGrey);
                DrawSides([&] { DrawTriangles(part); });
            } else {
                if (!uvChecker_) uvChecker_ = Upload(UvChecker(), true);
                glEnable(GL_TEXTURE_2D);
                glBindTexture(GL_TEXTURE_2D, uvChecker_);
                glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
                glTexCoordPointer(2, GL_FLOAT, 0, part.texCoords.data());
                DrawSides([&] { DrawTriangles(part); });
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
                glDisable(GL_TEXTURE_2D);
            }
            break;
        case Mode::kWireframe:
            // Surfaces pushed back a little so that their own edges stay in front.
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(1.0f, 1.0f);
            glColor3fv(kSurfaceGrey);
            DrawSides([&] { DrawTriangles(part); });
            glDisable(GL_POLYGON_OFFSET_FILL);
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            glColor3fv(kEdgeColour);
            DrawTriangles(part);
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            break;
    }
}

void SceneDrawer::Draw(const MeshSet& set, int width, int height,
                       std::vector<std::string>* warnings) {
    glViewport(0, 0, width, height);
    glClearColor(kBackground[0], kBackground[1], kBackground[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    float min[3], max[3];
    if (!UsedBounds(set, min, max)) return;

    const Framing f = FrameBox(min, max, options_.view, static_cast<double>(width) / height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(f.left, f.right, f.bottom, f.top, f.zNear, f.zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, kLightDirection);  // fixed in eye space
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kNoLight);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kNoLight);
    glEnable(GL_LIGHT0);
    glLoadMatrixf(f.modelview);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);  // the back faces' tint lands on their own depths
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (const MeshPart& part : set.parts) DrawPart(part, set, warnings);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace kvoview
