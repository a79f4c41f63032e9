#include "level/ObjMesh.h"

#include "core/FileChecks.h"

#include <irrlicht.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace irr;

namespace {

// Bounds that no mesh of the game comes near; a damaged file cannot make the reader take
// memory without end (files are at most 64 MB in any case).
constexpr std::size_t maxObjCorners = 4096;
constexpr std::size_t maxObjMaterialBytes = 4u * 1024u * 1024u;
constexpr u32 maxObjBufferVertices = 65535;

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Splits off the next word (separated by spaces or tabs).
std::string_view nextWord(std::string_view& text) {
    text = trim(text);
    std::size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t')
        ++end;
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

bool parseFloat(std::string_view word, f32& value) {
    if (word.empty())
        return false;
    if (word.front() == '+')
        word.remove_prefix(1);
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size() && std::isfinite(value);
}

bool parseInt(std::string_view word, long& value) {
    if (word.empty())
        return false;
    const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
    return result.ec == std::errc() && result.ptr == word.data() + word.size();
}

// Reads up to `count` numbers; at least `required` of them must be there.
bool parseFloats(std::string_view text, f32* values, int required, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string_view word = nextWord(text);
        if (word.empty())
            return i >= required;
        if (!parseFloat(word, values[i]))
            return false;
    }
    return true;
}

// A 1-based (or negative, counted back from the last) index into a list of `size`
// elements, as a 0-based index; -1 when it names nothing.
long resolveIndex(long index, std::size_t size) {
    if (index > 0 && static_cast<std::size_t>(index) <= size)
        return index - 1;
    if (index < 0 && static_cast<std::size_t>(-index) <= size)
        return static_cast<long>(size) + index;
    return -1;
}

struct Corner {
    long position = -1;
    long texture = -1;
    long normal = -1;
    bool operator==(const Corner& other) const {
        return position == other.position && texture == other.texture && normal == other.normal;
    }
};

struct CornerHash {
    std::size_t operator()(const Corner& corner) const {
        std::size_t hash = std::hash<long>()(corner.position);
        hash = hash * 1000003u ^ std::hash<long>()(corner.texture);
        return hash * 1000003u ^ std::hash<long>()(corner.normal);
    }
};

struct ObjMaterial {
    std::string name;
    video::SMaterial material;
    // Buffers of this material in the order they were started; the last one is filled.
    std::vector<scene::SMeshBuffer*> buffers;
    std::unordered_map<Corner, u16, CornerHash> sharedVertices; // of the last buffer
};

class ObjReader {
public:
    ObjReader(const std::string& path, io::IFileSystem* fileSystem, video::IVideoDriver* driver)
        : path(path), fileSystem(fileSystem), driver(driver) {
        const std::size_t slash = path.find_last_of("/\\");
        folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        current = materialNamed("");
    }

    ~ObjReader() {
        for (ObjMaterial* material : materials) {
            for (scene::SMeshBuffer* buffer : material->buffers)
                buffer->drop();
            delete material;
        }
    }

    ObjReader(const ObjReader&) = delete;
    ObjReader& operator=(const ObjReader&) = delete;

    scene::SMesh* read(std::string_view text, std::string& error) {
        std::size_t lineNumber = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            ++lineNumber;
            if (!readLine(line)) {
                error = problem + " (line " + std::to_string(lineNumber) + ")";
                return nullptr;
            }
        }
        return finish(error);
    }

private:
    bool fail(const char* why) {
        problem = why;
        return false;
    }

    bool readLine(std::string_view line) {
        const std::size_t comment = line.find('#');
        if (comment != std::string_view::npos)
            line = line.substr(0, comment);
        const std::string_view keyword = nextWord(line);
        if (keyword == "v") {
            f32 xyz[3];
            if (!parseFloats(line, xyz, 3, 3))
                return fail("a vertex position is not three numbers");
            positions.emplace_back(-xyz[0], xyz[1], xyz[2]);
        } else if (keyword == "vt") {
            f32 uv[2] = {0.0f, 0.0f};
            if (!parseFloats(line, uv, 1, 2))
                return fail("a texture coordinate is not a number");
            textureCoords.emplace_back(uv[0], 1.0f - uv[1]);
        } else if (keyword == "vn") {
            f32 xyz[3];
            if (!parseFloats(line, xyz, 3, 3))
                return fail("a normal is not three numbers");
            normals.emplace_back(-xyz[0], xyz[1], xyz[2]);
        } else if (keyword == "f") {
            return readFace(line);
        } else if (keyword == "usemtl") {
            current = materialNamed(std::string(trim(line)));
        } else if (keyword == "mtllib") {
            readMaterialLibraries(line);
        }
        // Groups, objects, smoothing groups, lines, points and anything else: passed over.
        return true;
    }

    bool readFace(std::string_view line) {
        corners.clear();
        for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line)) {
            if (corners.size() >= maxObjCorners)
                return fail("a face has too many corners");
            Corner corner;
            long values[3] = {0, 0, 0};
            bool given[3] = {false, false, false};
            for (int part = 0; part < 3 && !word.empty(); ++part) {
                const std::size_t slash = word.find('/');
                const std::string_view number = word.substr(0, slash);
                if (!number.empty()) {
                    if (!parseInt(number, values[part]))
                        return fail("a face corner is not a number");
                    given[part] = true;
                }
                if (slash == std::string_view::npos)
                    break;
                word.remove_prefix(slash + 1);
            }
            if (!given[0])
                return fail("a face corner has no vertex");
            corner.position = resolveIndex(values[0], positions.size());
            if (corner.position < 0)
                return fail("a face names a vertex that is not defined");
            if (given[1]) {
                corner.texture = resolveIndex(values[1], textureCoords.size());
                if (corner.texture < 0)
                    return fail("a face names a texture coordinate that is not defined");
            }
            if (given[2]) {
                corner.normal = resolveIndex(values[2], normals.size());
                if (corner.normal < 0)
                    return fail("a face names a normal that is not defined");
            }
            corners.push_back(corner);
        }
        if (corners.size() < 3)
            return true; // a point or a line: nothing to draw
        // Whole fans go into one buffer; a buffer that cannot take them starts a new one.
        if (!current->buffers.empty() &&
            current->buffers.back()->Vertices.size() + corners.size() > maxObjBufferVertices)
            startBuffer(*current);
        if (current->buffers.empty())
            startBuffer(*current);
        scene::SMeshBuffer* buffer = current->buffers.back();
        std::vector<u16>& indices = cornerIndices;
        indices.clear();
        for (const Corner& corner : corners)
            indices.push_back(vertexIndex(*current, *buffer, corner));
        // The engine's winding for the mirrored mesh.
        for (std::size_t i = 1; i + 1 < indices.size(); ++i) {
            buffer->Indices.push_back(indices[i + 1]);
            buffer->Indices.push_back(indices[i]);
            buffer->Indices.push_back(indices[0]);
        }
        return true;
    }

    u16 vertexIndex(ObjMaterial& material, scene::SMeshBuffer& buffer, const Corner& corner) {
        const auto found = material.sharedVertices.find(corner);
        if (found != material.sharedVertices.end())
            return found->second;
        video::S3DVertex vertex;
        vertex.Pos = positions[static_cast<std::size_t>(corner.position)];
        if (corner.texture >= 0)
            vertex.TCoords = textureCoords[static_cast<std::size_t>(corner.texture)];
        if (corner.normal >= 0)
            vertex.Normal = normals[static_cast<std::size_t>(corner.normal)];
        else
            needsNormals = true;
        vertex.Color = material.material.DiffuseColor;
        buffer.Vertices.push_back(vertex);
        const u16 index = static_cast<u16>(buffer.Vertices.size() - 1);
        material.sharedVertices.emplace(corner, index);
        return index;
    }

    void startBuffer(ObjMaterial& material) {
        auto* buffer = new scene::SMeshBuffer();
        buffer->Material = material.material;
        material.buffers.push_back(buffer);
        material.sharedVertices.clear();
    }

    ObjMaterial* materialNamed(const std::string& name) {
        for (ObjMaterial* material : materials)
            if (material->name == name)
                return material;
        auto* material = new ObjMaterial;
        material->name = name;
        material->material.Shininess = 0.0f;
        materials.push_back(material);
        return material;
    }

    void readMaterialLibraries(std::string_view line) {
        for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line))
            readMaterialLibrary(folder + std::string(word));
    }

    // A material library that cannot be read leaves the materials plain.
    void readMaterialLibrary(const std::string& libraryPath) {
        if (!fileSystem || !isReadableEngineFile(fileSystem, libraryPath, maxObjMaterialBytes))
            return;
        io::IReadFile* file = fileSystem->createAndOpenFile(libraryPath.c_str());
        if (!file)
            return;
        std::string text(static_cast<std::size_t>(std::max<long>(file->getSize(), 0)), '\0');
        const s32 read = text.empty() ? 0 : file->read(text.data(), static_cast<u32>(text.size()));
        file->drop();
        text.resize(static_cast<std::size_t>(std::max<s32>(read, 0)));

        ObjMaterial* material = nullptr;
        std::string_view rest = text;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            const std::size_t comment = line.find('#');
            if (comment != std::string_view::npos)
                line = line.substr(0, comment);
            const std::string_view keyword = nextWord(line);
            if (keyword == "newmtl") {
                material = materialNamed(std::string(trim(line)));
                continue;
            }
            if (!material)
                continue;
            f32 values[3] = {0.0f, 0.0f, 0.0f};
            video::SMaterial& m = material->material;
            const auto colour = [&](video::SColor& target) {
                if (parseFloats(line, values, 3, 3))
                    target = video::SColorf(std::clamp(values[0], 0.0f, 1.0f), std::clamp(values[1], 0.0f, 1.0f),
                                            std::clamp(values[2], 0.0f, 1.0f), target.getAlpha() / 255.0f)
                                 .toSColor();
            };
            if (keyword == "Kd") {
                colour(m.DiffuseColor);
            } else if (keyword == "Ka") {
                colour(m.AmbientColor);
            } else if (keyword == "Ks") {
                colour(m.SpecularColor);
            } else if (keyword == "Ns" && parseFloats(line, values, 1, 1)) {
                m.Shininess = std::clamp(values[0], 0.0f, 1000.0f);
            } else if ((keyword == "d" || keyword == "Tr") && parseFloats(line, values, 1, 1)) {
                const f32 opacity = std::clamp(keyword == "d" ? values[0] : 1.0f - values[0], 0.0f, 1.0f);
                m.DiffuseColor.setAlpha(static_cast<u32>(opacity * 255.0f + 0.5f));
                if (opacity < 1.0f)
                    m.MaterialType = video::EMT_TRANSPARENT_VERTEX_ALPHA;
            } else if (keyword == "map_Kd") {
                // Options come before the file name: the name is the last word.
                std::string_view name;
                for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line))
                    name = word;
                if (!name.empty())
                    m.setTexture(0, loadTexture(std::string(name)));
            }
        }
    }

    video::ITexture* loadTexture(const std::string& name) {
        if (!driver || !fileSystem)
            return nullptr;
        std::string candidate = name;
        if (!fileSystem->existFile(candidate.c_str())) {
            const std::size_t slash = name.find_last_of("/\\");
            candidate = folder + (slash == std::string::npos ? name : name.substr(slash + 1));
        }
        return driver->getTexture(candidate.c_str());
    }

    scene::SMesh* finish(std::string& error) {
        auto* mesh = new scene::SMesh();
        for (ObjMaterial* material : materials) {
            for (scene::SMeshBuffer* buffer : material->buffers) {
                if (buffer->Indices.empty())
                    continue;
                if (needsNormals)
                    computeMissingNormals(*buffer);
                // The mesh keeps what it holds, not room to grow: that is what the level pays.
                buffer->Vertices.reallocate(buffer->Vertices.size());
                buffer->Indices.reallocate(buffer->Indices.size());
                buffer->Material = material->material;
                buffer->recalculateBoundingBox();
                mesh->addMeshBuffer(buffer);
            }
        }
        if (mesh->getMeshBufferCount() == 0) {
            mesh->drop();
            error = "it holds no faces";
            return nullptr;
        }
        mesh->recalculateBoundingBox();
        return mesh;
    }

    // Vertices without a normal from the file get the sum of their faces' normals.
    static void computeMissingNormals(scene::SMeshBuffer& buffer) {
        std::vector<core::vector3df> sums(buffer.Vertices.size());
        for (u32 i = 0; i + 2 < buffer.Indices.size(); i += 3) {
            const u16 a = buffer.Indices[i];
            const u16 b = buffer.Indices[i + 1];
            const u16 c = buffer.Indices[i + 2];
            const core::vector3df normal = (buffer.Vertices[b].Pos - buffer.Vertices[a].Pos)
                                               .crossProduct(buffer.Vertices[c].Pos - buffer.Vertices[a].Pos);
            sums[a] += normal;
            sums[b] += normal;
            sums[c] += normal;
        }
        for (u32 i = 0; i < buffer.Vertices.size(); ++i) {
            video::S3DVertex& vertex = buffer.Vertices[i];
            if (vertex.Normal == core::vector3df(0, 0, 0) && sums[i].getLengthSQ() > 0.0f)
                vertex.Normal = sums[i].normalize();
        }
    }

    std::string path;
    std::string folder;
    io::IFileSystem* fileSystem;
    video::IVideoDriver* driver;
    std::vector<core::vector3df> positions;
    std::vector<core::vector2df> textureCoords;
    std::vector<core::vector3df> normals;
    std::vector<ObjMaterial*> materials;
    ObjMaterial* current = nullptr;
    std::vector<Corner> corners;
    std::vector<u16> cornerIndices;
    bool needsNormals = false;
    std::string problem;
};

} // namespace

scene::SMesh* readObjMesh(const char* text, std::size_t size, const std::string& path,
                          io::IFileSystem* fileSystem, video::IVideoDriver* driver, std::string& error) {
    ObjReader reader(path, fileSystem, driver);
    return reader.read(std::string_view(text ? text : "", text ? size : 0), error);
}
