#include "Meshes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
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
                {"Barrel", "0.3 0.7 0.35"}, {"Floor", "0.8 0.78 0.7"}};
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

// A lumpy rock about 1.6 across: a ball of 6 x 8 facets with its rings pushed in and out.
std::string rockObj() {
    std::vector<std::pair<double, double>> rings = {{-0.6, 0.0}, {-0.45, 0.55}, {0.0, 0.8}, {0.4, 0.6}, {0.65, 0.0}};
    return latheObj("Rock: a lumpy boulder about 1.6 across, centred on the origin.", "Rock", rings, 7);
}

// The ground: 40 x 40, 1 thick, its top face at y = 0.
std::string floorObj() {
    std::ostringstream out;
    objHeader(out, "Floor: 40 x 1 x 40, its top face at y = 0.", "Floor");
    for (int i = 0; i < 8; ++i)
        out << "v " << ((i & 1) ? 20 : -20) << ' ' << ((i & 2) ? 0 : -1) << ' ' << ((i & 4) ? 20 : -20) << '\n';
    out << "vt 0 0\nvt 8 0\nvt 8 8\nvt 0 8\n";
    const int faces[6][4] = {{1, 5, 7, 3}, {2, 4, 8, 6}, {1, 2, 6, 5}, {3, 7, 8, 4}, {1, 3, 4, 2}, {5, 6, 8, 7}};
    for (const auto& face : faces) {
        out << 'f';
        for (int corner = 0; corner < 4; ++corner)
            out << ' ' << face[corner] << '/' << corner + 1;
        out << '\n';
    }
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
    w.text("Skin");
    for (float value : {0.9f, 0.75f, 0.6f, 1.0f, 0.0f})
        w.number(value);
    w.integer(1);
    w.integer(0);
    w.integer(0);
    w.end();

    w.begin("NODE");
    writeNodeHeader(w, "Mannequin", 0);
    w.begin("MESH");
    w.integer(0);
    w.begin("VRTS");
    w.integer(1); // normals
    w.integer(1); // one set of
    w.integer(2); // two texture coordinates
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
    ok = writeText(root + "Content/Models/Props/Rock.obj", rockObj()) && ok;
    ok = writeText(root + "Content/Models/Props/Floor.obj", floorObj()) && ok;
    return ok;
}
