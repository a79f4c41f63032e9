#include "Meshes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// Radius 1, height 1, centred on the origin, 16 sides; the caps are single polygons and
// the file gives no normals (the reader computes them).
std::string cylinderObj() {
    constexpr int sides = 16;
    std::ostringstream out;
    out << "# Cylinder template: radius 1, height 1, centred on the origin.\n";
    out.setf(std::ios::fixed);
    out.precision(6);
    for (int ring = 0; ring < 2; ++ring)
        for (int i = 0; i < sides; ++i) {
            const double angle = 2.0 * M_PI * i / sides;
            out << "v " << std::cos(angle) << ' ' << (ring == 0 ? -0.5 : 0.5) << ' ' << std::sin(angle) << '\n';
        }
    out << "g sides\n";
    for (int i = 0; i < sides; ++i) {
        const int a = i + 1;
        const int b = (i + 1) % sides + 1;
        out << "f " << a << ' ' << a + sides << ' ' << b + sides << ' ' << b << '\n';
    }
    // Counter-clockwise seen from outside: the bottom's corners by rising angle, the top's
    // by falling angle.
    out << "g caps\nf";
    for (int i = 1; i <= sides; ++i)
        out << ' ' << i;
    out << "\nf";
    for (int i = sides; i >= 1; --i)
        out << ' ' << i + sides;
    out << '\n';
    return out.str();
}

// A 2 x 2 x 2 crate with texture coordinates and normals, one material.
std::string crateObj() {
    std::ostringstream out;
    out << "# Crate: 2 x 2 x 2, centred on the origin.\nmtllib Crate.mtl\no Crate\n";
    for (int i = 0; i < 8; ++i)
        out << "v " << ((i & 1) ? 1 : -1) << ' ' << ((i & 2) ? 1 : -1) << ' ' << ((i & 4) ? 1 : -1) << '\n';
    out << "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    out << "vn -1 0 0\nvn 1 0 0\nvn 0 -1 0\nvn 0 1 0\nvn 0 0 -1\nvn 0 0 1\n";
    out << "usemtl Crate\ns off\n";
    // Each face: four corners counter-clockwise seen from outside, and its normal.
    const int faces[6][5] = {{1, 5, 7, 3, 1}, {2, 4, 8, 6, 2}, {1, 2, 6, 5, 3},
                             {3, 7, 8, 4, 4}, {1, 3, 4, 2, 5}, {5, 6, 8, 7, 6}};
    for (const auto& face : faces) {
        out << 'f';
        for (int corner = 0; corner < 4; ++corner)
            out << ' ' << face[corner] << '/' << corner + 1 << '/' << face[4];
        out << '\n';
    }
    return out.str();
}

std::string crateMtl() {
    return "# Crate material.\nnewmtl Crate\nKa 0.2 0.2 0.2\nKd 0.72 0.55 0.33\nKs 0.1 0.1 0.1\n"
           "Ns 8\nd 1\nmap_Kd Content/Models/Editor/White.png\n";
}

// The demonstration props: one material file for all of them, a plain colour each.
std::string propsMtl() {
    std::ostringstream out;
    out << "# Props of the demonstration level.\n";
    const struct {
        const char* name;
        const char* colour;
    } rows[] = {{"Ball", "0.85 0.25 0.2"}, {"Pill", "0.25 0.45 0.85"}, {"Rock", "0.55 0.55 0.5"},
                {"Barrel", "0.3 0.7 0.35"}, {"Floor", "0.8 0.78 0.7"}, {"Cloth", "0.75 0.3 0.55"},
                {"Pot", "0.75 0.45 0.25"}, {"Tie", "1 1 1"}, {"Pond", "0.2 0.36 0.5"}};
    for (const auto& row : rows)
        out << "newmtl " << row.name << "\nKa 0.2 0.2 0.2\nKd " << row.colour
            << "\nKs 0.1 0.1 0.1\nNs 8\nd 1\nmap_Kd Content/Models/Editor/White.png\n";
    return out.str();
}

void objHeader(std::ostringstream& out, const char* comment, const char* material) {
    out << "# " << comment << "\nmtllib Props.mtl\no " << material << "\nusemtl " << material << "\n";
    out.setf(std::ios::fixed);
    out.precision(6);
}

// A ring-and-segment surface around the Y axis: rings from bottom to top at the heights and
// radii given, poles where the radius is 0. Counter-clockwise seen from outside.
std::string latheObj(const char* comment, const char* material, const std::vector<std::pair<double, double>>& rings,
                     int segments) {
    std::ostringstream out;
    objHeader(out, comment, material);
    for (const auto& [y, r] : rings)
        for (int i = 0; i < segments; ++i) {
            const double a = 2.0 * M_PI * i / segments;
            out << "v " << r * std::cos(a) << ' ' << y << ' ' << r * std::sin(a) << '\n';
        }
    for (std::size_t ring = 0; ring + 1 < rings.size(); ++ring)
        for (int i = 0; i < segments; ++i) {
            const int a = static_cast<int>(ring) * segments + i + 1;
            const int b = static_cast<int>(ring) * segments + (i + 1) % segments + 1;
            out << "f " << a << ' ' << a + segments << ' ' << b + segments << ' ' << b << '\n';
        }
    // Flat caps where the end rings have a radius.
    if (rings.front().second > 0.0) {
        out << 'f';
        for (int i = 1; i <= segments; ++i)
            out << ' ' << i;
        out << '\n';
    }
    if (rings.back().second > 0.0) {
        const int base = static_cast<int>(rings.size() - 1) * segments;
        out << 'f';
        for (int i = segments; i >= 1; --i)
            out << ' ' << base + i;
        out << '\n';
    }
    return out.str();
}

// Radius 1 about the origin.
std::string ballObj() {
    std::vector<std::pair<double, double>> rings;
    constexpr int stacks = 12;
    for (int i = 0; i <= stacks; ++i) {
        const double phi = -M_PI / 2 + M_PI * i / stacks;
        rings.emplace_back(std::sin(phi), std::max(0.0, std::cos(phi)));
    }
    return latheObj("Ball: radius 1, centred on the origin.", "Ball", rings, 16);
}

// A capsule standing on Y: radius 0.5, 2 high overall, centred on the origin.
std::string pillObj() {
    std::vector<std::pair<double, double>> rings;
    constexpr int cap = 6;
    for (int i = 0; i <= cap; ++i) {
        const double phi = -M_PI / 2 + (M_PI / 2) * i / cap;
        rings.emplace_back(-0.5 + 0.5 * std::sin(phi), 0.5 * std::cos(phi));
    }
    for (int i = 0; i <= cap; ++i) {
        const double phi = (M_PI / 2) * i / cap;
        rings.emplace_back(0.5 + 0.5 * std::sin(phi), 0.5 * std::cos(phi));
    }
    return latheObj("Pill: a capsule of radius 0.5, 2 high, centred on the origin.", "Pill", rings, 16);
}

// A barrel: radius 0.5, 1.5 high, centred on the origin.
std::string barrelObj() {
    return latheObj("Barrel: radius 0.5, 1.5 high, centred on the origin.", "Barrel",
                    {{-0.75, 0.5}, {-0.25, 0.56}, {0.25, 0.56}, {0.75, 0.5}}, 16);
}

// A flower pot of terracotta: narrow at its foot, a rim at the top, 1.5 high, centred on
// the origin (its bounds fit a cylinder of radius 0.5 and height 1.5).
std::string potObj() {
    return latheObj("Pot: a flower pot 1.5 high, centred on the origin.", "Pot",
                    {{-0.75, 0.36}, {0.45, 0.5}, {0.45, 0.58}, {0.75, 0.58}, {0.75, 0.5}, {0.2, 0.45}}, 16);
}

// A lumpy rock about 1.6 across: a ball of 6 x 8 facets with its rings pushed in and out.
std::string rockObj() {
    std::vector<std::pair<double, double>> rings = {{-0.6, 0.0}, {-0.45, 0.55}, {0.0, 0.8}, {0.4, 0.6}, {0.65, 0.0}};
    return latheObj("Rock: a lumpy boulder about 1.6 across, centred on the origin.", "Rock", rings, 7);
}

// A box from (-half, bottom, -half) to (half, top, half) with its texture repeated `tiles`
// times across each face.
std::string slabObj(const char* comment, const char* material, double half, double bottom, double top, int tiles) {
    std::ostringstream out;
    objHeader(out, comment, material);
    out.unsetf(std::ios::fixed); // whole numbers without decimals
    for (int i = 0; i < 8; ++i)
        out << "v " << ((i & 1) ? half : -half) << ' ' << ((i & 2) ? top : bottom) << ' ' << ((i & 4) ? half : -half)
            << '\n';
    out << "vt 0 0\nvt " << tiles << " 0\nvt " << tiles << ' ' << tiles << "\nvt 0 " << tiles << '\n';
    const int faces[6][4] = {{1, 5, 7, 3}, {2, 4, 8, 6}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 3, 4, 2}, {5, 6, 8, 7}};
    for (const auto& face : faces) {
        out << 'f';
        for (int corner = 0; corner < 4; ++corner)
            out << ' ' << face[corner] << '/' << corner + 1;
        out << '\n';
    }
    return out.str();
}

// The ground: 40 x 40, 1 thick, its top face at y = 0.
std::string floorObj() { return slabObj("Floor: 40 x 1 x 40, its top face at y = 0.", "Floor", 20.0, -1.0, 0.0, 8); }

// A pond's still surface: 1 x 0.1 x 1, its top face at y = 0 (the plane a reflective object
// mirrors in), scaled to size by the level.
std::string pondObj() { return slabObj("Pond: 1 x 0.1 x 1, its top face at y = 0.", "Pond", 0.5, -0.1, 0.0, 1); }

// Cloth: a banner 4 wide and 4 high hanging from its top edge (y = 0), a grid of 9 x 9
// shared vertices (one cloth particle each) in the XY plane, facing -Z.
std::string clothObj() {
    std::ostringstream out;
    objHeader(out, "Cloth: a 4 x 4 banner of 9 x 9 shared vertices, its top edge at y = 0.", "Cloth");
    constexpr int side = 9;
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column)
            out << "v " << -2.0 + 4.0 * column / (side - 1) << ' ' << -4.0 * row / (side - 1) << " 0\n";
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column)
            out << "vt " << static_cast<double>(column) / (side - 1) << ' ' << static_cast<double>(row) / (side - 1)
                << '\n';
    for (int row = 0; row + 1 < side; ++row)
        for (int column = 0; column + 1 < side; ++column) {
            const int a = row * side + column + 1, b = a + 1, c = a + side + 1, d = a + side;
            out << "f " << a << '/' << a << ' ' << d << '/' << d << ' ' << c << '/' << c << ' ' << b << '/' << b << '\n';
        }
    return out.str();
}

// A collectible tie: a card 1 wide and 2 high in the XY plane, centred on the origin, its
// texture (the tie's outline, clear around it) over the whole card on both faces. Each face
// has its own vertices and normal, so both are lit.
std::string tieObj() {
    std::ostringstream out;
    objHeader(out, "Tie: a card 1 x 2 showing its texture on both faces, centred on the origin.", "Tie");
    out << "v -0.5 1 0\nv 0.5 1 0\nv 0.5 -1 0\nv -0.5 -1 0\n";
    out << "vt 0 1\nvt 1 1\nvt 1 0\nvt 0 0\n";
    out << "vn 0 0 -1\nvn 0 0 1\n";
    out << "f 4/4/1 3/3/1 2/2/1 1/1/1\n";
    out << "f 1/1/2 2/2/2 3/3/2 4/4/2\n";
    return out.str();
}

// B3D: little-endian chunks, each a tag and the length of what follows.
class B3dWriter {
public:
    void integer(std::int32_t value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    }
    void number(float value) {
        std::int32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        integer(bits);
    }
    void text(const std::string& value) {
        bytes.insert(bytes.end(), value.begin(), value.end());
        bytes.push_back('\0');
    }
    void begin(const char* tag) {
        bytes.insert(bytes.end(), tag, tag + 4);
        open.push_back(bytes.size());
        integer(0);
    }
    void end() {
        const std::size_t at = open.back();
        open.pop_back();
        const auto length = static_cast<std::uint32_t>(bytes.size() - at - 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
    std::vector<char> bytes;

private:
    std::vector<std::size_t> open;
};

// Opens the file chunk and writes its one texture (the white editor texture) and its one
// brush of the given colour.
void writeFileHeader(B3dWriter& w, const char* brush, float red, float green, float blue) {
    w.begin("BB3D");
    w.integer(1);
    w.begin("TEXS");
    w.text("Content/Models/Editor/White.png");
    w.integer(1);
    w.integer(2);
    for (float value : {0.0f, 0.0f, 1.0f, 1.0f, 0.0f})
        w.number(value);
    w.end();
    w.begin("BRUS");
    w.integer(1);
    w.text(brush);
    for (float value : {red, green, blue, 1.0f, 0.0f})
        w.number(value);
    w.integer(1);
    w.integer(0);
    w.integer(0);
    w.end();
}

void writeNodeHeader(B3dWriter& w, const std::string& name, float y) {
    w.text(name);
    w.number(0);
    w.number(y);
    w.number(0);
    for (int i = 0; i < 3; ++i)
        w.number(1);
    w.number(1); // rotation w, x, y, z
    for (int i = 0; i < 3; ++i)
        w.number(0);
}

// Opens a skinned figure: the file chunk with its brush of the colour, the root node of the
// name, its mesh and the vertex chunk (normals and one set of texture coordinates).
void beginSkinnedMesh(B3dWriter& w, const char* name, const char* brush, float red, float green, float blue) {
    writeFileHeader(w, brush, red, green, blue);
    w.begin("NODE");
    writeNodeHeader(w, name, 0);
    w.begin("MESH");
    w.integer(0);
    w.begin("VRTS");
    w.integer(1); // normals
    w.integer(1); // one set of
    w.integer(2); // two texture coordinates
}

// A bone that swings about Z through frames 1..20 and back.
void writeSwingingBone(B3dWriter& w, const std::string& name, float y, int firstVertex, float angle) {
    w.begin("NODE");
    writeNodeHeader(w, name, y);
    w.begin("BONE");
    for (int i = firstVertex; i < firstVertex + 8; ++i) {
        w.integer(i);
        w.number(1.0f);
    }
    w.end();
    w.begin("KEYS");
    w.integer(4);
    const int frames[3] = {1, 20, 40};
    const float angles[3] = {0.0f, angle, 0.0f};
    for (int k = 0; k < 3; ++k) {
        w.integer(frames[k]);
        w.number(std::cos(angles[k] / 2));
        w.number(0);
        w.number(0);
        w.number(std::sin(angles[k] / 2));
    }
    w.end();
    w.end();
}

// A mannequin of two stacked blocks (legs and chest), each moved by its own bone.
std::vector<char> mannequinB3d() {
    B3dWriter w;
    beginSkinnedMesh(w, "Mannequin", "Skin", 0.9f, 0.75f, 0.6f);
    for (int block = 0; block < 2; ++block)
        for (int i = 0; i < 8; ++i) {
            const float x = (i & 1) ? 0.5f : -0.5f;
            const float y = block + ((i & 2) ? 1.0f : 0.0f);
            const float z = (i & 4) ? 0.3f : -0.3f;
            w.number(x);
            w.number(y);
            w.number(z);
            const float length = std::sqrt(x * x + (y - block - 0.5f) * (y - block - 0.5f) + z * z);
            w.number(x / length);
            w.number((y - block - 0.5f) / length);
            w.number(z / length);
            w.number((i & 1) ? 1.0f : 0.0f);
            w.number((i & 2) ? 0.0f : 1.0f);
        }
    w.end();
    w.begin("TRIS");
    w.integer(0);
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int block = 0; block < 2; ++block)
        for (const auto& quad : quads) {
            const int base = block * 8;
            for (int t : {0, 1, 2, 0, 2, 3})
                w.integer(base + quad[t]);
        }
    w.end();
    w.end(); // MESH
    w.begin("ANIM");
    w.integer(0);
    w.integer(40);
    w.number(20.0f);
    w.end();
    writeSwingingBone(w, "Legs", 0.0f, 0, 0.3f);
    writeSwingingBone(w, "Chest", 1.0f, 8, -0.5f);
    w.end(); // NODE
    w.end(); // BB3D
    return w.bytes;
}

// The default character: a figure of boxes about 6 units tall, feet at the origin, facing
// -Z, each box moved by one joint of the skeleton the character code names (the vision
// cone and head turning hang on "headBaseJt"). Every joint has a rotation key on every
// frame of the clips below (30 frames per second); the clip ranges are the ones the
// character profiles list.
struct CharacterJoint {
    const char* name;
    int parent; // index into the joint table, -1 for the mesh root
    float x, y, z; // rest position in mesh space
    // the joint's box in mesh space
    float minX, minY, minZ, maxX, maxY, maxZ;
};

const CharacterJoint characterJoints[] = {
    {"hipsJt", -1, 0.0f, 3.0f, 0.0f, -0.6f, 2.8f, -0.3f, 0.6f, 3.4f, 0.3f},
    {"spineJt", 0, 0.0f, 3.4f, 0.0f, -0.7f, 3.4f, -0.35f, 0.7f, 4.9f, 0.35f},
    {"neckJt", 1, 0.0f, 4.9f, 0.0f, -0.15f, 4.9f, -0.15f, 0.15f, 5.2f, 0.15f},
    {"headBaseJt", 2, 0.0f, 5.2f, 0.0f, -0.35f, 5.2f, -0.4f, 0.35f, 6.0f, 0.35f},
    {"lArmJt", 1, -0.85f, 4.8f, 0.0f, -1.05f, 3.0f, -0.2f, -0.72f, 4.85f, 0.2f},
    {"rArmJt", 1, 0.85f, 4.8f, 0.0f, 0.72f, 3.0f, -0.2f, 1.05f, 4.85f, 0.2f},
    {"lLegJt", 0, -0.32f, 2.9f, 0.0f, -0.58f, 0.0f, -0.25f, -0.08f, 2.9f, 0.25f},
    {"rLegJt", 0, 0.32f, 2.9f, 0.0f, 0.08f, 0.0f, -0.25f, 0.58f, 2.9f, 0.25f},
};
constexpr int characterJointCount = sizeof(characterJoints) / sizeof(characterJoints[0]);

// Clip ranges (first and last frame) of the character's animations.
struct CharacterClip {
    int first;
    int last;
};
constexpr CharacterClip walkClip{0, 30};
constexpr CharacterClip stoppedClip{31, 60};
constexpr CharacterClip idleClip{61, 90};
constexpr CharacterClip turnClip{91, 110};
constexpr CharacterClip reactClip{111, 130};
constexpr CharacterClip noticeClip{131, 150};
constexpr CharacterClip discoveredClip{151, 170};
// One rest frame after the last clip: the engine counts frames up to the last key and plays
// at most to the frame before that count.
constexpr int characterFrameCount = 172;

// Where a frame lies in a clip: 0 at its first frame, 1 at its last; negative outside.
float clipTime(const CharacterClip& clip, int frame) {
    if (frame < clip.first || frame > clip.last)
        return -1.0f;
    return static_cast<float>(frame - clip.first) / static_cast<float>(clip.last - clip.first);
}

// Euler angles (radians about X, Y, Z) of a joint at a frame.
void characterPose(int joint, int frame, float angles[3]) {
    constexpr float pi = 3.14159265f;
    angles[0] = angles[1] = angles[2] = 0.0f;
    const std::string name = characterJoints[joint].name;
    if (const float t = clipTime(walkClip, frame); t >= 0.0f) {
        const float swing = std::sin(2.0f * pi * t);
        if (name == "lLegJt") angles[0] = 0.5f * swing;
        if (name == "rLegJt") angles[0] = -0.5f * swing;
        if (name == "lArmJt") angles[0] = -0.4f * swing;
        if (name == "rArmJt") angles[0] = 0.4f * swing;
        if (name == "spineJt") angles[1] = 0.08f * swing;
    } else if (const float t = clipTime(stoppedClip, frame); t >= 0.0f) {
        if (name == "spineJt") angles[0] = 0.03f * std::sin(2.0f * pi * t);
    } else if (const float t = clipTime(idleClip, frame); t >= 0.0f) {
        if (name == "neckJt") angles[1] = 0.5f * std::sin(2.0f * pi * t);
        if (name == "headBaseJt") angles[1] = 0.3f * std::sin(2.0f * pi * t);
    } else if (const float t = clipTime(turnClip, frame); t >= 0.0f) {
        if (name == "hipsJt") angles[1] = 0.6f * std::sin(pi * t);
        if (name == "lLegJt") angles[0] = 0.3f * std::sin(2.0f * pi * t);
        if (name == "rLegJt") angles[0] = -0.3f * std::sin(2.0f * pi * t);
    } else if (const float t = clipTime(reactClip, frame); t >= 0.0f) {
        const float jolt = std::sin(pi * t);
        if (name == "spineJt") angles[0] = -0.5f * jolt;
        if (name == "lArmJt") angles[2] = -1.2f * jolt;
        if (name == "rArmJt") angles[2] = 1.2f * jolt;
        if (name == "headBaseJt") angles[0] = -0.3f * jolt;
    } else if (const float t = clipTime(noticeClip, frame); t >= 0.0f) {
        const float lean = std::sin(pi * t);
        if (name == "spineJt") angles[0] = 0.15f * lean;
        if (name == "neckJt") angles[1] = 0.4f * lean;
        if (name == "headBaseJt") angles[0] = 0.2f * lean;
    } else if (const float t = clipTime(discoveredClip, frame); t >= 0.0f) {
        const float point = std::sin(pi * t);
        if (name == "lArmJt") angles[0] = -1.4f * point;
        if (name == "rArmJt") angles[0] = -1.4f * point;
        if (name == "spineJt") angles[0] = -0.2f * point;
    }
    // The engine's loader merges a key equal to the one before it into that one, which would
    // turn a held pose into a slow blend: alternate a twist too small to see.
    angles[1] += (frame % 2 == 0) ? 0.0f : 0.002f;
}

// Quaternion (w, x, y, z) of Euler angles applied X, then Y, then Z.
void eulerToQuaternion(const float angles[3], float q[4]) {
    const float cx = std::cos(angles[0] / 2), sx = std::sin(angles[0] / 2);
    const float cy = std::cos(angles[1] / 2), sy = std::sin(angles[1] / 2);
    const float cz = std::cos(angles[2] / 2), sz = std::sin(angles[2] / 2);
    q[0] = cx * cy * cz + sx * sy * sz;
    q[1] = sx * cy * cz - cx * sy * sz;
    q[2] = cx * sy * cz + sx * cy * sz;
    q[3] = cx * cy * sz - sx * sy * cz;
}

// The talking loop: 31 frames in which the head nods (its joint also carries position keys,
// which is what the lip-sync overlay copies onto a talking character).
constexpr int lipLoopFrameCount = 32;
bool lipLoopPose(int joint, int frame, float angles[3], float position[3]) {
    constexpr float pi = 3.14159265f;
    angles[0] = angles[1] = angles[2] = 0.0f;
    angles[1] = (frame % 2 == 0) ? 0.0f : 0.002f;
    if (std::string(characterJoints[joint].name) != "headBaseJt")
        return false;
    const float t = static_cast<float>(std::min(frame, 30)) / 30.0f;
    angles[0] = 0.25f * std::sin(4.0f * pi * t);
    position[1] = 0.03f * std::sin(4.0f * pi * t);
    return true;
}

void writeCharacterJoint(B3dWriter& w, int joint, bool lipLoop = false) {
    const CharacterJoint& j = characterJoints[joint];
    const int parent = j.parent;
    const float px = parent < 0 ? 0.0f : characterJoints[parent].x;
    const float py = parent < 0 ? 0.0f : characterJoints[parent].y;
    const float pz = parent < 0 ? 0.0f : characterJoints[parent].z;
    w.begin("NODE");
    w.text(j.name);
    for (float value : {j.x - px, j.y - py, j.z - pz, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f})
        w.number(value);
    w.begin("BONE");
    for (int i = joint * 8; i < joint * 8 + 8; ++i) {
        w.integer(i);
        w.number(1.0f);
    }
    w.end();
    float rest[3] = {0.0f, 0.0f, 0.0f};
    const bool moves = lipLoop && lipLoopPose(joint, 0, rest, rest);
    w.begin("KEYS");
    w.integer(moves ? 5 : 4); // rotation, and position for a joint the loop moves
    for (int frame = 0; frame < (lipLoop ? lipLoopFrameCount : characterFrameCount); ++frame) {
        float angles[3];
        float offset[3] = {0.0f, 0.0f, 0.0f};
        float q[4];
        if (lipLoop)
            lipLoopPose(joint, frame, angles, offset);
        else
            characterPose(joint, frame, angles);
        eulerToQuaternion(angles, q);
        w.integer(frame + 1); // the file counts frames from 1
        if (moves)
            for (float value : {j.x - px + offset[0], j.y - py + offset[1], j.z - pz + offset[2]})
                w.number(value);
        for (float value : q)
            w.number(value);
    }
    w.end();
    for (int child = 0; child < characterJointCount; ++child)
        if (characterJoints[child].parent == joint)
            writeCharacterJoint(w, child, lipLoop);
    w.end(); // NODE
}

std::vector<char> characterB3d(bool lipLoop = false) {
    B3dWriter w;
    beginSkinnedMesh(w, "Everyman", "Clothes", 0.55f, 0.62f, 0.78f);
    for (const CharacterJoint& j : characterJoints)
        for (int i = 0; i < 8; ++i) {
            const float x = (i & 1) ? j.maxX : j.minX;
            const float y = (i & 2) ? j.maxY : j.minY;
            const float z = (i & 4) ? j.maxZ : j.minZ;
            const float nx = (i & 1) ? 1.0f : -1.0f;
            const float ny = (i & 2) ? 1.0f : -1.0f;
            const float nz = (i & 4) ? 1.0f : -1.0f;
            for (float value : {x, y, z, nx * 0.57735f, ny * 0.57735f, nz * 0.57735f})
                w.number(value);
            w.number((i & 1) ? 1.0f : 0.0f);
            w.number((i & 2) ? 0.0f : 1.0f);
        }
    w.end();
    w.begin("TRIS");
    w.integer(0);
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int joint = 0; joint < characterJointCount; ++joint)
        for (const auto& quad : quads)
            for (int t : {0, 1, 2, 0, 2, 3})
                w.integer(joint * 8 + quad[t]);
    w.end();
    w.end(); // MESH
    w.begin("ANIM");
    w.integer(0);
    w.integer(lipLoop ? lipLoopFrameCount : characterFrameCount);
    w.number(30.0f);
    w.end();
    for (int joint = 0; joint < characterJointCount; ++joint)
        if (characterJoints[joint].parent < 0)
            writeCharacterJoint(w, joint, lipLoop);
    w.end(); // NODE
    w.end(); // BB3D
    return w.bytes;
}

// The swimmer: a small fish about two units long, facing +Z: its body on the joint "Curve1"
// (turned -90 degrees about X, the axes its tail joints are placed in: a point (x, y, z) of
// the mesh is (x, -z, y) below it), a head and two side fins, and five round tail segments
// "Curve2" to "Curve6" a quarter unit apart behind the body, each a direct child of "Curve1"
// (the swim animator puts them on its spline one by one and may turn them about the fish's
// long axis, which a round segment does not show). Its nine clips are the ones
// "SwimmerProfile.xml" names.
struct SwimmerPart {
    const char* name;
    float x, y, z; // joint position in mesh space
    // A box (min, max), or, when round, an octagonal prism along Z: radii at its two ends.
    bool round;
    float minX, minY, minZ, maxX, maxY, maxZ;
};

const SwimmerPart swimmerParts[] = {
    {"Curve1", 0.0f, 0.0f, 0.0f, false, -0.25f, -0.3f, -0.12f, 0.25f, 0.3f, 0.5f},
    {"Head", 0.0f, 0.0f, 0.5f, false, -0.2f, -0.22f, 0.5f, 0.2f, 0.25f, 0.85f},
    {"FinL", -0.25f, -0.05f, 0.3f, false, -0.6f, -0.08f, 0.1f, -0.25f, -0.02f, 0.4f},
    {"FinR", 0.25f, -0.05f, 0.3f, false, 0.25f, -0.08f, 0.1f, 0.6f, -0.02f, 0.4f},
    // Round: minX is the radius at the front end, maxX at the back end, minZ/maxZ the ends.
    {"Curve2", 0.0f, 0.0f, -0.25f, true, 0.26f, 0.0f, -0.08f, 0.22f, 0.0f, -0.42f},
    {"Curve3", 0.0f, 0.0f, -0.5f, true, 0.22f, 0.0f, -0.33f, 0.18f, 0.0f, -0.67f},
    {"Curve4", 0.0f, 0.0f, -0.75f, true, 0.18f, 0.0f, -0.58f, 0.14f, 0.0f, -0.92f},
    {"Curve5", 0.0f, 0.0f, -1.0f, true, 0.14f, 0.0f, -0.83f, 0.1f, 0.0f, -1.17f},
    {"Curve6", 0.0f, 0.0f, -1.25f, true, 0.08f, 0.0f, -1.08f, 0.36f, 0.0f, -1.4f}, // the tail's fan
};
constexpr int swimmerPartCount = sizeof(swimmerParts) / sizeof(swimmerParts[0]);

// A clip of the swimmer: its frames and how it moves (tail wave amplitude and cycles, the
// tail's sideways curl at its first and last frame, the fins' flap and fold).
struct SwimmerClip {
    const char* name;
    int first, last;
    float wave, waveCycles, curlFrom, curlTo, flap, foldFrom, foldTo;
};

const SwimmerClip swimmerClips[] = {
    {"SwimmerCoastToCharge", 0, 20, 0.02f, 0.5f, 0.0f, 0.3f, 0.0f, 0.4f, 1.0f},
    {"SwimmerChargedIdle", 21, 50, 0.015f, 3.0f, 0.3f, 0.3f, 0.1f, 1.0f, 1.0f},
    {"SwimmerMidBlast", 51, 70, 0.12f, 1.0f, 0.3f, 0.0f, 0.0f, 1.0f, 0.6f},
    {"SwimmerBlast", 71, 95, 0.22f, 2.0f, 0.3f, 0.0f, 0.0f, 1.0f, 0.4f},
    {"SwimmerCoastIdle", 96, 125, 0.03f, 1.0f, 0.0f, 0.0f, 0.1f, 0.4f, 0.4f},
    {"SwimmerCoastToIdle", 126, 145, 0.04f, 0.5f, 0.0f, 0.0f, 0.2f, 0.4f, 0.0f},
    {"SwimmerIdle", 146, 185, 0.05f, 1.0f, 0.0f, 0.0f, 0.45f, 0.0f, 0.0f},
    {"SwimmerIdleToCharge", 186, 205, 0.02f, 0.5f, 0.0f, 0.3f, 0.2f, 0.0f, 1.0f},
    {"SwimmerFlinch", 206, 225, 0.15f, 1.5f, -0.3f, 0.0f, 0.6f, 0.0f, 0.0f},
};
constexpr int swimmerFrameCount = 227;

// The pose of a part at a frame: its rotation (radians about its parent's X, Y, Z; below
// "Curve1" Y runs along the fish towards the tail and Z points up) and, for a tail segment,
// its sideways shift.
void swimmerPose(int part, int frame, float angles[3], float& shift) {
    constexpr float pi = 3.14159265f;
    angles[0] = angles[1] = angles[2] = 0.0f;
    shift = 0.0f;
    for (const SwimmerClip& clip : swimmerClips) {
        if (frame < clip.first || frame > clip.last)
            continue;
        const float t = static_cast<float>(frame - clip.first) / static_cast<float>(clip.last - clip.first);
        const std::string name = swimmerParts[part].name;
        const float fold = clip.foldFrom + (clip.foldTo - clip.foldFrom) * t;
        const float flap = clip.flap * std::sin(2.0f * pi * t * std::max(clip.waveCycles, 1.0f));
        if (name == "Head")
            angles[0] = 0.12f * std::sin(2.0f * pi * t) * (clip.wave > 0.1f ? 1.0f : 0.3f);
        if (name == "FinL") {
            angles[1] = -(0.2f + flap);
            angles[2] = -0.9f * fold;
        }
        if (name == "FinR") {
            angles[1] = 0.2f + flap;
            angles[2] = 0.9f * fold;
        }
        if (name.rfind("Curve", 0) == 0 && name != "Curve1") {
            const float k = static_cast<float>(name[5] - '1'); // 1 to 5 along the tail
            const float curl = clip.curlFrom + (clip.curlTo - clip.curlFrom) * t;
            const float phase = 2.0f * pi * clip.waveCycles * t - 0.8f * k;
            shift = clip.wave * k * std::sin(phase) + curl * 0.06f * k * k;
            // The segment turns with the slope of the wave it rides.
            angles[2] = -(clip.wave * 2.0f * std::cos(phase) + curl * 0.5f * k / 5.0f);
        }
    }
    angles[1] += (frame % 2 == 0) ? 0.0f : 0.002f; // keeps held poses from merging (see above)
}

// The swimmer's vertices (position, normal) and triangles, part by part: each face has its
// own corners and normal, so boxes read as boxes and prisms as facets.
struct SwimmerMesh {
    std::vector<std::array<float, 6>> vertices;
    std::vector<int> indices;
    std::vector<int> firstVertex; // per part, and one past the last
};

void addQuad(SwimmerMesh& m, const std::array<std::array<float, 3>, 4>& corners, const std::array<float, 3>& normal) {
    const int base = static_cast<int>(m.vertices.size());
    for (const auto& c : corners)
        m.vertices.push_back({c[0], c[1], c[2], normal[0], normal[1], normal[2]});
    for (int t : {0, 1, 2, 0, 2, 3})
        m.indices.push_back(base + t);
}

SwimmerMesh swimmerMesh() {
    constexpr float pi = 3.14159265f;
    SwimmerMesh m;
    for (const SwimmerPart& p : swimmerParts) {
        m.firstVertex.push_back(static_cast<int>(m.vertices.size()));
        if (!p.round) {
            const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
            const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
            for (int f = 0; f < 6; ++f) {
                std::array<std::array<float, 3>, 4> corners;
                for (int c = 0; c < 4; ++c) {
                    const int i = faces[f][c];
                    corners[c] = {(i & 1) ? p.maxX : p.minX, (i & 2) ? p.maxY : p.minY, (i & 4) ? p.maxZ : p.minZ};
                }
                addQuad(m, corners, {normals[f][0], normals[f][1], normals[f][2]});
            }
            continue;
        }
        // Eight sides from the front end (radius minX at minZ) to the back (maxX at maxZ),
        // and a cap at each end.
        const float front = p.minX, back = p.maxX, z0 = p.minZ, z1 = p.maxZ;
        const auto at = [&](float radius, int side, float z) {
            const float a = 2.0f * pi * static_cast<float>(side) / 8.0f;
            return std::array<float, 3>{radius * std::cos(a), radius * std::sin(a), z};
        };
        for (int side = 0; side < 8; ++side) {
            const float a = 2.0f * pi * (static_cast<float>(side) + 0.5f) / 8.0f;
            addQuad(m, {at(front, side, z0), at(back, side, z1), at(back, side + 1, z1), at(front, side + 1, z0)},
                    {std::cos(a), std::sin(a), 0.0f});
        }
        for (int side = 0; side < 8; side += 2) {
            addQuad(m, {at(front, side, z0), at(front, side + 1, z0), at(front, side + 2, z0), {0.0f, 0.0f, z0}},
                    {0.0f, 0.0f, 1.0f});
            addQuad(m, {at(back, side + 2, z1), at(back, side + 1, z1), at(back, side, z1), {0.0f, 0.0f, z1}},
                    {0.0f, 0.0f, -1.0f});
        }
    }
    m.firstVertex.push_back(static_cast<int>(m.vertices.size()));
    return m;
}

void writeSwimmerPart(B3dWriter& w, const SwimmerMesh& mesh, int part) {
    const SwimmerPart& p = swimmerParts[part];
    const bool root = part == 0;
    w.begin("NODE");
    w.text(p.name);
    // Below "Curve1" a mesh point (x, y, z) is (x, -z, y).
    const float lx = root ? 0.0f : p.x, ly = root ? 0.0f : -p.z, lz = root ? 0.0f : p.y;
    const float half = std::sqrt(0.5f);
    for (float value : {lx, ly, lz, 1.0f, 1.0f, 1.0f})
        w.number(value);
    // The engine reads a file's rotation as the inverse of the quaternion written (it builds
    // the transposed matrix), so the -90 degrees about X are written as +90: only then is a
    // joint placed at (x, -z, y) below "Curve1" at (x, y, z) in the mesh, where the swim
    // animator puts the tail joints on its path and where each tail segment's vertices lie.
    const float turned[4] = {half, half, 0.0f, 0.0f}, none[4] = {1.0f, 0.0f, 0.0f, 0.0f};
    for (float value : root ? turned : none)
        w.number(value); // rotation w, x, y, z
    w.begin("BONE");
    for (int i = mesh.firstVertex[part]; i < mesh.firstVertex[part + 1]; ++i) {
        w.integer(i);
        w.number(1.0f);
    }
    w.end();
    if (!root) {
        w.begin("KEYS");
        w.integer(5); // position and rotation
        for (int frame = 0; frame < swimmerFrameCount; ++frame) {
            float angles[3], q[4], shift = 0.0f;
            swimmerPose(part, frame, angles, shift);
            eulerToQuaternion(angles, q);
            w.integer(frame + 1);
            for (float value : {lx + shift, ly, lz})
                w.number(value);
            for (float value : q)
                w.number(value);
        }
        w.end();
        w.end(); // NODE
        return;
    }
    for (int child = 1; child < swimmerPartCount; ++child)
        writeSwimmerPart(w, mesh, child);
    w.end(); // NODE
}

std::vector<char> swimmerB3d() {
    const SwimmerMesh mesh = swimmerMesh();
    B3dWriter w;
    beginSkinnedMesh(w, "Swimmer", "Scales", 0.95f, 0.55f, 0.15f);
    for (const auto& vertex : mesh.vertices) {
        for (float value : vertex)
            w.number(value);
        // One texel of the plain white texture for the whole figure.
        w.number(0.5f);
        w.number(0.5f);
    }
    w.end();
    w.begin("TRIS");
    w.integer(0);
    for (int index : mesh.indices)
        w.integer(index);
    w.end();
    w.end(); // MESH
    w.begin("ANIM");
    w.integer(0);
    w.integer(swimmerFrameCount);
    w.number(30.0f);
    w.end();
    writeSwimmerPart(w, mesh, 0);
    w.end(); // NODE
    w.end(); // BB3D
    return w.bytes;
}

// The editor marker of a waypoint: a diamond (octahedron) half a unit across, drawn in
// wireframe over the point.
std::string pathWaypointObj() {
    std::ostringstream out;
    out << "# Waypoint marker: an octahedron around the point.\n";
    out << "v 0 0.5 0\nv 0.25 0 0\nv 0 0 0.25\nv -0.25 0 0\nv 0 0 -0.25\nv 0 -0.5 0\n";
    out << "f 1 3 2\nf 1 4 3\nf 1 5 4\nf 1 2 5\nf 6 2 3\nf 6 3 4\nf 6 4 5\nf 6 5 2\n";
    return out.str();
}

bool writeBytes(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

bool writeContentMeshes(const std::string& root) {
    bool ok = writeText(root + "Content/Models/Editor/Cylinder.obj", cylinderObj());
    ok = writeText(root + "Content/Models/Props/Crate.obj", crateObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Crate.mtl", crateMtl()) && ok;
    ok = writeBytes(root + "Content/Models/Characters/Mannequin.b3d", mannequinB3d()) && ok;
    ok = writeText(root + "Content/Models/Props/Props.mtl", propsMtl()) && ok;
    ok = writeText(root + "Content/Models/Props/Ball.obj", ballObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Pill.obj", pillObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Barrel.obj", barrelObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Pot.obj", potObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Rock.obj", rockObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Floor.obj", floorObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Pond.obj", pondObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Cloth.obj", clothObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Tie.obj", tieObj()) && ok;
    // The character's mesh, and the animation source its profiles name (the same figure).
    const std::vector<char> character = characterB3d();
    ok = writeBytes(root + "Content/Models/Characters/Everyman1.b3d", character) && ok;
    ok = writeBytes(root + "Content/Models/Characters/AniEveryBody.b3d", character) && ok;
    // The talking loop of the lip-sync overlay, and the waypoint's editor marker.
    ok = writeBytes(root + "Content/Models/Characters/AniEveryBodyLipLoop.b3d", characterB3d(true)) && ok;
    ok = writeText(root + "Content/Models/Editor/PathWaypoint.obj", pathWaypointObj()) && ok;
    ok = writeBytes(root + "Content/Models/Characters/Swimmer.b3d", swimmerB3d()) && ok;
    return ok;
}
