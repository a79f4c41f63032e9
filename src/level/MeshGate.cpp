#include "level/MeshGate.h"

#include "core/FileChecks.h"
#include "core/ImageGate.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "level/B3dCheck.h"
#include "level/ObjMesh.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace irr;

namespace {

// The gate answers for every name; no real format has this extension.
constexpr const char* gateProbeName = "probe.paddlestone-mesh-gate";

std::string lowerExtension(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// One empty frame without buffers: what a refused file becomes.
scene::IAnimatedMesh* makeRefusedMesh() {
    auto* frame = new scene::SMesh();
    auto* mesh = new scene::SAnimatedMesh(frame);
    frame->drop();
    return mesh;
}

// The empty meshes that stand for meshes past a budget since the last level load began (each
// held here once).
std::vector<scene::IAnimatedMesh*>& meshesLeftOut() {
    static std::vector<scene::IAnimatedMesh*> meshes;
    return meshes;
}

// What a mesh past the load's budget becomes (the budget has logged why).
scene::IAnimatedMesh* leaveOut() {
    scene::IAnimatedMesh* mesh = makeRefusedMesh();
    mesh->grab();
    meshesLeftOut().push_back(mesh);
    return mesh;
}

class MeshGate : public scene::IMeshLoader {
public:
    MeshGate(scene::ISceneManager* manager, scene::IMeshLoader* engineB3dLoader)
        : manager(manager), engineB3dLoader(engineB3dLoader) {
        if (engineB3dLoader)
            engineB3dLoader->grab();
    }
    ~MeshGate() override {
        if (engineB3dLoader)
            engineB3dLoader->drop();
        for (const LevelMesh& level : levelMeshes)
            level.mesh->drop();
        for (const LevelMesh& level : setAside)
            level.mesh->drop();
    }

    bool isALoadableFileExtension(const io::path&) const override { return true; }

    scene::IAnimatedMesh* createMesh(io::IReadFile* file) override {
        if (!file)
            return nullptr;
        const std::string name = file->getFileName().c_str();
        // A mesh read while a level loads is the level's wherever its file lies; one read as a
        // level plays is told from the menus' by its folder.
        const bool levels = readingLevelPictures() || !isGameContentFile(manager->getFileSystem(), name);
        // A mesh set aside at the last give-back comes back unread.
        const auto aside = std::find_if(setAside.begin(), setAside.end(), [&](const LevelMesh& m) { return m.file == name; });
        if (aside != setAside.end()) {
            scene::IAnimatedMesh* mesh = aside->mesh;
            if (levels)
                levelMeshes.push_back(*aside);
            else
                mesh->drop(); // the menus' from now on: the engine's cache alone holds it
            setAside.erase(aside);
            mesh->grab();
            return mesh;
        }
        scene::IAnimatedMesh* mesh = build(file);
        // A mesh of a level's own (not one left out past a budget, which the next load puts
        // aside in any case) is held until it is given back.
        const std::vector<scene::IAnimatedMesh*>& leftOut = meshesLeftOut();
        if (mesh && levels && std::find(leftOut.begin(), leftOut.end(), mesh) == leftOut.end()) {
            mesh->grab();
            levelMeshes.push_back({mesh, name, {}});
        }
        return mesh;
    }

    // A level's mesh: the file it was read from, and its name in the engine's cache while it is
    // set aside.
    struct LevelMesh {
        scene::IAnimatedMesh* mesh;
        std::string file;
        io::path cacheName;
    };
    // The meshes of levels not given back yet, each held once here.
    std::vector<LevelMesh> levelMeshes;
    // The meshes set aside at the last give-back (out of the engine's cache), each held once here.
    std::vector<LevelMesh> setAside;

private:
    scene::IAnimatedMesh* build(io::IReadFile* file) {
        const std::string name = file->getFileName().c_str();
        // The file guard has logged why this file was not opened.
        if (file->getSize() == 0 && wasFileRefused(name))
            return makeRefusedMesh();

        const std::string extension = lowerExtension(name);
        if (extension != "obj" && extension != "b3d")
            return refuse(name, "the game reads only OBJ and B3D meshes");
        if (file->getSize() <= 0)
            return refuse(name, "it is empty");
        if (static_cast<unsigned long long>(file->getSize()) > maxMeshFileBytes)
            return refuse(name, "it is larger than 64 MB");
        // The file guard charged an archive's entry as it opened it during the load.
        LoadBudget& budget = loadBudget();
        const bool chargedOpening = budget.isLoading() && findArchiveEntry(manager->getFileSystem(), name).archive;
        if (!chargedOpening && !budget.charge(LoadBudget::Bytes, static_cast<std::uint64_t>(file->getSize()), name))
            return leaveOut();
        std::vector<char> bytes(static_cast<std::size_t>(file->getSize()));
        file->seek(0);
        if (file->read(bytes.data(), static_cast<u32>(bytes.size())) != static_cast<s32>(bytes.size()))
            return refuse(name, "it cannot be read");

        std::string error;
        if (extension == "obj") {
            scene::SMesh* mesh = readObjMesh(bytes.data(), bytes.size(), name, manager->getFileSystem(),
                                             manager->getVideoDriver(), error);
            if (!mesh)
                return refuse(name, error);
            auto* animated = new scene::SAnimatedMesh(mesh);
            mesh->drop();
            return chargeMemory(animated, name);
        }
        if (!checkB3dStructure(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), error))
            return refuse(name, error);
        if (!engineB3dLoader)
            return refuse(name, "the engine has no B3D loader");
        // The engine reads the bytes that were checked, not the file again.
        auto* memory = new char[bytes.size()];
        std::memcpy(memory, bytes.data(), bytes.size());
        io::IReadFile* checked = manager->getFileSystem()->createMemoryReadFile(
            memory, static_cast<s32>(bytes.size()), file->getFileName(), true);
        scene::IAnimatedMesh* mesh = checked ? engineB3dLoader->createMesh(checked) : nullptr;
        if (checked)
            checked->drop();
        else
            delete[] memory;
        return mesh ? chargeMemory(mesh, name) : refuse(name, "the engine could not read it");
    }

    // The mesh just built, or, past the load's budget of memory, the empty mesh in its place.
    static scene::IAnimatedMesh* chargeMemory(scene::IAnimatedMesh* mesh, const std::string& name) {
        if (loadBudget().charge(LoadBudget::Memory, meshBytes(mesh), name))
            return mesh;
        mesh->drop();
        return leaveOut();
    }

    static scene::IAnimatedMesh* refuse(const std::string& name, const std::string& reason) {
        logMessage(std::string(logErrorPrefix) + "Refused the mesh \"" + name + "\": " + reason + ".");
        return makeRefusedMesh();
    }

    scene::ISceneManager* manager; // owns the gate
    scene::IMeshLoader* engineB3dLoader;
};

} // namespace

void registerMeshGate(scene::ISceneManager* manager) {
    if (!manager)
        return;
    scene::IMeshLoader* engineB3d = nullptr;
    const u32 count = manager->getMeshLoaderCount();
    for (u32 i = 0; i < count; ++i) {
        scene::IMeshLoader* loader = manager->getMeshLoader(i);
        if (loader->isALoadableFileExtension(gateProbeName))
            return; // registered before
        if (loader->isALoadableFileExtension("mesh.b3d"))
            engineB3d = loader;
    }
    auto* gate = new MeshGate(manager, engineB3d);
    manager->addExternalMeshLoader(gate);
    gate->drop();
}

namespace {

// The scene manager's gate, if registered: the gate alone takes every name.
MeshGate* findMeshGate(scene::ISceneManager* manager) {
    for (u32 i = 0; manager && i < manager->getMeshLoaderCount(); ++i)
        if (manager->getMeshLoader(i)->isALoadableFileExtension(gateProbeName))
            return static_cast<MeshGate*>(manager->getMeshLoader(i));
    return nullptr;
}

using LevelMesh = MeshGate::LevelMesh;

// A skinned mesh animated from another's (useAnimationFrom) points at that mesh's joints of
// the same names, a link the engine keeps to itself: a mesh that stays in the cache keeps each
// going mesh that has a joint of the name of one of its own, and those the ones they share names
// with. Moves them from the meshes going to those staying.
void keepMeshesAnimatedFrom(scene::IMeshCache* cache, std::vector<LevelMesh>& going, std::vector<LevelMesh>& staying) {
    // The names of a skinned mesh's joints (the engine links no unnamed joint).
    const auto jointNames = [](scene::IAnimatedMesh* mesh) {
        std::set<std::string> names;
        if (mesh && mesh->getMeshType() == scene::EAMT_SKINNED) {
            const auto& joints = static_cast<const scene::ISkinnedMesh*>(mesh)->getAllJoints();
            for (u32 j = 0; j < joints.size(); ++j)
                if (!joints[j]->Name.empty())
                    names.insert(joints[j]->Name.c_str());
        }
        return names;
    };
    const auto isGoing = [&going](scene::IAnimatedMesh* mesh) {
        return std::any_of(going.begin(), going.end(), [mesh](const LevelMesh& m) { return m.mesh == mesh; });
    };
    std::set<std::string> stayingNames;
    for (u32 i = 0; i < cache->getMeshCount(); ++i)
        if (!isGoing(cache->getMeshByIndex(i)))
            stayingNames.merge(jointNames(cache->getMeshByIndex(i)));
    for (bool moved = true; moved;) {
        moved = false;
        for (auto mesh = going.begin(); mesh != going.end();) {
            std::set<std::string> names = jointNames(mesh->mesh);
            if (std::none_of(names.begin(), names.end(), [&](const std::string& name) { return stayingNames.count(name) != 0; })) {
                ++mesh;
                continue;
            }
            stayingNames.merge(names);
            staying.push_back(*mesh);
            mesh = going.erase(mesh);
            moved = true;
        }
    }
}

} // namespace

void setLevelMeshesAside(scene::ISceneManager* manager) {
    MeshGate* gate = findMeshGate(manager);
    if (!gate)
        return;
    releaseMeshesSetAside(manager);
    scene::IMeshCache* cache = manager->getMeshCache();
    std::vector<LevelMesh> going;
    std::vector<LevelMesh> staying;
    for (const LevelMesh& level : gate->levelMeshes) {
        if (cache->getMeshIndex(level.mesh) < 0)
            level.mesh->drop(); // out of the cache already: nothing to give back
        else if (level.mesh->getReferenceCount() > 2)
            staying.push_back(level); // something beside the cache and the gate holds it
        else
            going.push_back(level);
    }
    keepMeshesAnimatedFrom(cache, going, staying);
    for (LevelMesh& level : going) {
        level.cacheName = cache->getMeshName(level.mesh).getPath();
        cache->removeMesh(level.mesh);
    }
    gate->levelMeshes = std::move(staying);
    gate->setAside = std::move(going);
}

void releaseMeshesSetAside(scene::ISceneManager* manager) {
    MeshGate* gate = findMeshGate(manager);
    if (!gate || gate->setAside.empty())
        return;
    scene::IMeshCache* cache = manager->getMeshCache();
    std::vector<LevelMesh> going = std::move(gate->setAside);
    gate->setAside.clear();
    std::vector<LevelMesh> staying;
    keepMeshesAnimatedFrom(cache, going, staying);
    for (LevelMesh& level : staying) {
        cache->addMesh(level.cacheName, level.mesh);
        gate->levelMeshes.push_back(level);
    }
    video::IVideoDriver* driver = manager->getVideoDriver();
    for (const LevelMesh& level : going) {
        // The driver holds the buffers it copied to the graphics card until it drops them.
        for (u32 i = 0; driver && i < level.mesh->getMeshBufferCount(); ++i)
            driver->removeHardwareBuffer(level.mesh->getMeshBuffer(i));
        level.mesh->drop();
    }
}

void releaseLevelMeshes(scene::ISceneManager* manager) {
    setLevelMeshesAside(manager);
    releaseMeshesSetAside(manager);
}

bool isRefusedMesh(scene::IAnimatedMesh* mesh) {
    if (!mesh || mesh->getFrameCount() == 0)
        return true;
    scene::IMesh* frame = mesh->getMesh(0);
    return !frame || frame->getMeshBufferCount() == 0;
}

std::uint64_t meshBytes(const scene::IMesh* mesh) {
    std::uint64_t bytes = 0;
    for (u32 i = 0; mesh && i < mesh->getMeshBufferCount(); ++i) {
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        const u32 indexBytes = buffer->getIndexType() == video::EIT_16BIT ? 2 : 4;
        bytes += static_cast<std::uint64_t>(buffer->getVertexCount()) * video::getVertexPitchFromType(buffer->getVertexType()) +
                 static_cast<std::uint64_t>(buffer->getIndexCount()) * indexBytes;
    }
    return bytes;
}

bool wasMeshLeftOut(scene::ISceneManager* manager, const io::path& file) {
    scene::IAnimatedMesh* cached = manager ? manager->getMeshCache()->getMeshByName(file) : nullptr;
    const std::vector<scene::IAnimatedMesh*>& leftOut = meshesLeftOut();
    return cached && std::find(leftOut.begin(), leftOut.end(), cached) != leftOut.end();
}

void forgetMeshesLeftOut(scene::ISceneManager* manager) {
    for (scene::IAnimatedMesh* mesh : meshesLeftOut()) {
        if (manager)
            manager->getMeshCache()->removeMesh(mesh);
        mesh->drop();
    }
    meshesLeftOut().clear();
}

scene::IAnimatedMesh* getGameMesh(scene::ISceneManager* manager, const io::path& file) {
    if (!manager || file.empty())
        return nullptr;
    scene::IAnimatedMesh* mesh = manager->getMesh(file);
    return isRefusedMesh(mesh) ? nullptr : mesh;
}
