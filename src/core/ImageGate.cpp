#include "core/ImageGate.h"

#include "core/FileChecks.h"
#include "core/Globals.h"
#include "core/LoadBudget.h"
#include "core/Log.h"
#include "core/ProcessGuards.h"
#include "platform/TextureList.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace irr;

namespace {

constexpr const char* imageGateProbeName = "probe.paddlestone-image-gate";
constexpr long maxImageFileBytes = 64L * 1024 * 1024;

int gamePicturesScopes = 0;

// The pictures a budget left out since the last level load began: the engine keeps a pixel
// under each name.
std::vector<std::string>& picturesLeftOut() {
    static std::vector<std::string> names;
    return names;
}

// The memory a picture takes as a texture: 4 bytes a pixel, and a third more for the
// smaller mip levels when the driver makes them.
std::uint64_t textureBytes(unsigned width, unsigned height, bool mipMaps) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) * height * 4;
    return mipMaps ? bytes + bytes / 3 : bytes;
}

// Whether a load's budget takes the picture of that size: its pixels, then its memory.
bool chargeLevelPicture(const std::string& name, unsigned width, unsigned height, bool mipMaps) {
    if (gamePicturesScopes > 0)
        return true;
    LoadBudget& budget = loadBudget();
    if (budget.chargeWhileLoading(LoadBudget::Pixels, static_cast<std::uint64_t>(width) * height, name) &&
        budget.chargeWhileLoading(LoadBudget::Memory, textureBytes(width, height, mipMaps), name))
        return true;
    picturesLeftOut().push_back(name);
    return false;
}

// The engine sorts its textures by name again after a rename only when it knows them unsorted
// (a texture added since): a renamed texture leaves the others out of its search by name, each
// to be read again as if missing. The platform layer sorts the driver's list in place; where it
// cannot reach the list, a pixel added and taken out again has the engine sort it.
void sortTexturesByName(video::IVideoDriver* driver) {
    if (platform::sortTexturesByName(driver))
        return;
    static bool told = false;
    if (!told) {
        told = true;
        logMessage("The engine's texture list is sorted by the engine: a level of many pictures loads slowly.");
    }
    video::IImage* pixel = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 1));
    if (!pixel)
        return;
    if (video::ITexture* sorting = driver->addTexture("paddlestone texture sorting", pixel))
        driver->removeTexture(sorting);
    pixel->drop();
}

enum class ImageKind { Png, Jpeg, Other };

unsigned bigEndian16(const unsigned char* p) {
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
}

unsigned bigEndian32(const unsigned char* p) {
    return (static_cast<unsigned>(p[0]) << 24) | (static_cast<unsigned>(p[1]) << 16) |
           (static_cast<unsigned>(p[2]) << 8) | p[3];
}

// The picture's size from a PNG header: false when the header is not whole.
bool pngSize(const std::vector<unsigned char>& data, unsigned& width, unsigned& height) {
    // Signature, then the first chunk, which must be IHDR.
    if (data.size() < 8 + 8 + 13 || std::memcmp(data.data() + 12, "IHDR", 4) != 0)
        return false;
    width = bigEndian32(data.data() + 16);
    height = bigEndian32(data.data() + 20);
    return true;
}

// The picture's size from the first frame header of a JPEG stream.
bool jpegSize(const std::vector<unsigned char>& data, unsigned& width, unsigned& height) {
    std::size_t at = 2;
    while (at + 4 <= data.size()) {
        if (data[at] != 0xFF)
            return false;
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        const std::size_t length = bigEndian16(data.data() + at + 2);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7 || at + 2 + length > data.size())
                return false;
            height = bigEndian16(data.data() + at + 5);
            width = bigEndian16(data.data() + at + 7);
            return true;
        }
        if (length < 2 || marker == 0xD9 || marker == 0xDA)
            return false; // the image data or the end before any frame header
        at += 2 + length;
    }
    return false;
}

class ImageGate : public video::IImageLoader {
public:
    ImageGate(video::IVideoDriver* driver, video::IImageLoader* png, video::IImageLoader* jpeg)
        : driver(driver), png(png), jpeg(jpeg) {
        if (png)
            png->grab();
        if (jpeg)
            jpeg->grab();
    }
    ~ImageGate() override;

    bool isALoadableFileExtension(const io::path&) const override { return true; }
    bool isALoadableFileFormat(io::IReadFile*) const override { return true; }

    video::IImage* loadImage(io::IReadFile* file) const override {
        if (!file)
            return nullptr;
        const std::string name = file->getFileName().c_str();
        // Whatever the driver makes of it (the picture, or the pixel in its place) is the
        // level's to give back, wherever its file lies.
        if (readingLevelPictures())
            levelPictures.insert(name);
        if (file->getSize() == 0 && wasFileRefused(name))
            return transparentPixel();
        // A quit asked for while a level loads is honoured between its pictures.
        if (gameQuitting() && loadBudget().isLoading())
            return transparentPixel();
        if (file->getSize() <= 0)
            return refuse(name, "it is empty");
        if (file->getSize() > maxImageFileBytes)
            return refuse(name, "it is larger than 64 MB");
        std::vector<unsigned char> data(static_cast<std::size_t>(file->getSize()));
        file->seek(0);
        if (file->read(data.data(), static_cast<u32>(data.size())) != static_cast<s32>(data.size()))
            return refuse(name, "it cannot be read");

        static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        ImageKind kind = ImageKind::Other;
        if (data.size() >= 8 && std::memcmp(data.data(), pngSignature, 8) == 0)
            kind = ImageKind::Png;
        else if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
            kind = ImageKind::Jpeg;
        if (kind == ImageKind::Other)
            return refuse(name, "the game reads only PNG and JPEG images");

        unsigned width = 0;
        unsigned height = 0;
        const bool sized = kind == ImageKind::Png ? pngSize(data, width, height) : jpegSize(data, width, height);
        if (!sized)
            return refuse(name, "its header is damaged");
        if (width == 0 || height == 0 || width > maxImageSide || height > maxImageSide)
            return refuse(name, "it claims a size of " + std::to_string(width) + " x " + std::to_string(height));
        // A level's picture past its load's budget stays out like a refused file (the budget
        // logs why).
        if (!chargeLevelPicture(name, width, height, driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS)))
            return transparentPixel();

        video::IImageLoader* reader = kind == ImageKind::Png ? png : jpeg;
        if (!reader)
            return refuse(name, "the engine cannot read its format");
        video::IImage* image = nullptr;
        if (kind == ImageKind::Jpeg) {
            // The engine's JPEG reader gives the decoder no end of data: a damaged segment
            // length makes it read on past the file. Zeros and an end-of-image marker after the
            // file keep every read inside the buffer (a skip is at most 65535 bytes).
            data.insert(data.end(), 65536, 0);
            data.push_back(0xFF);
            data.push_back(0xD9);
            io::IReadFile* padded =
                io::createMemoryReadFile(data.data(), static_cast<long>(data.size()), file->getFileName(), false);
            if (padded) {
                image = reader->loadImage(padded);
                padded->drop();
            }
        } else {
            file->seek(0);
            image = reader->loadImage(file);
        }
        return image ? image : refuse(name, "it is damaged");
    }

private:
    video::IImage* transparentPixel() const {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 1));
        if (image)
            image->fill(video::SColor(0, 0, 0, 0));
        return image;
    }

    video::IImage* refuse(const std::string& name, const std::string& reason) const {
        logMessage(std::string(logErrorPrefix) + "Refused the image \"" + name + "\": " + reason + ".");
        return transparentPixel();
    }

    video::IVideoDriver* driver; // owns the gate
    video::IImageLoader* png;
    video::IImageLoader* jpeg;

public:
    // The names of the pictures read for levels and not given back yet.
    mutable std::set<std::string> levelPictures;
    // The pictures set aside at the last give-back, by their own names (each renamed in the
    // driver, which still holds it).
    std::map<std::string, video::ITexture*> setAside;
    class PictureReclaim* reclaim = nullptr;

    // A file of that name is being opened: a picture set aside under it comes back first, and
    // the driver finds it instead of reading the file.
    void takeBack(const std::string& name) {
        const auto found = setAside.find(name);
        if (found == setAside.end() || driver->findTexture(name.c_str()))
            return;
        driver->renameTexture(found->second, name.c_str());
        if (!platform::placeRenamedTexture(driver, found->second))
            sortTexturesByName(driver);
        // Taken back for a level it is that level's; for the menus or the HUD it stays.
        if (readingLevelPictures())
            levelPictures.insert(name);
        setAside.erase(found);
    }
};

// Watches the file system's opens (it stands first among its archives and never answers
// itself): the engine opens a picture's file before it looks for the picture under the file's
// name again, the moment a picture set aside is taken back.
class PictureReclaim : public io::IFileArchive {
public:
    PictureReclaim(io::IFileSystem* fileSystem, ImageGate* gate)
        : fileSystem(fileSystem), gate(gate), emptyList(fileSystem->createEmptyFileList("", false, false)) {}
    ~PictureReclaim() override {
        if (emptyList)
            emptyList->drop();
    }
    io::IReadFile* createAndOpenFile(const io::path& filename) override {
        if (gate && !gate->setAside.empty()) {
            gate->takeBack(filename.c_str());
            gate->takeBack(fileSystem->getAbsolutePath(filename).c_str());
        }
        return nullptr;
    }
    io::IReadFile* createAndOpenFile(u32) override { return nullptr; }
    const io::IFileList* getFileList() const override { return emptyList; }

    io::IFileSystem* fileSystem; // owns the archive
    ImageGate* gate;             // null once the driver let go of the gate
    io::IFileList* emptyList;
};

ImageGate::~ImageGate() {
    if (png)
        png->drop();
    if (jpeg)
        jpeg->drop();
    if (reclaim) {
        reclaim->gate = nullptr;
        reclaim->drop();
    }
}

// The driver's gate, if registered: the gate alone takes every name.
ImageGate* findImageGate(video::IVideoDriver* driver) {
    for (u32 i = 0; driver && i < driver->getImageLoaderCount(); ++i) {
        video::IImageLoader* loader = driver->getImageLoader(i);
        if (loader->isALoadableFileExtension(imageGateProbeName))
            return static_cast<ImageGate*>(loader);
    }
    return nullptr;
}

void addTexturesOf(const video::SMaterial& material, std::set<const video::ITexture*>& textures) {
    for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
        if (material.TextureLayer[layer].Texture)
            textures.insert(material.TextureLayer[layer].Texture);
}

// The textures the meshes of the engine's cache and the nodes of the scene draw with. (A
// cached mesh is asked as a mesh: its first frame, the only one of the game's meshes, and a
// skinned mesh's own buffers, which asking for a frame would animate.)
std::set<const video::ITexture*> texturesInUse(scene::ISceneManager* scene) {
    std::set<const video::ITexture*> textures;
    if (!scene)
        return textures;
    scene::IMeshCache* cache = scene->getMeshCache();
    for (u32 i = 0; cache && i < cache->getMeshCount(); ++i) {
        const scene::IMesh* mesh = cache->getMeshByIndex(i);
        for (u32 b = 0; mesh && b < mesh->getMeshBufferCount(); ++b)
            addTexturesOf(mesh->getMeshBuffer(b)->getMaterial(), textures);
    }
    std::vector<scene::ISceneNode*> open = {scene->getRootSceneNode()};
    while (!open.empty()) {
        scene::ISceneNode* node = open.back();
        open.pop_back();
        for (scene::ISceneNode* child : node->getChildren())
            open.push_back(child);
        for (u32 m = 0; m < node->getMaterialCount(); ++m)
            addTexturesOf(node->getMaterial(m), textures);
    }
    return textures;
}

} // namespace

bool readingLevelPictures() { return gamePicturesScopes == 0 && loadBudget().isLoading(); }

bool isGameContentFile(io::IFileSystem* fileSystem, const std::string& path) {
    if (path.empty() || (fileSystem && findArchiveEntry(fileSystem, path).archive))
        return false;
    std::error_code error;
    const std::filesystem::path file = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    if (error)
        return false;
    const std::filesystem::path content = std::filesystem::weakly_canonical(std::filesystem::absolute("Content", error), error);
    if (error)
        return false;
    const auto [inContent, inFile] = std::mismatch(content.begin(), content.end(), file.begin(), file.end());
    return inContent == content.end() && inFile != file.end();
}

void setLevelPicturesAside(video::IVideoDriver* driver, scene::ISceneManager* scene) {
    ImageGate* gate = findImageGate(driver);
    if (!gate)
        return;
    releasePicturesSetAside(driver, scene);
    if (gate->levelPictures.empty())
        return;
    static std::uint64_t setAsideCount = 0;
    const std::set<const video::ITexture*> inUse = texturesInUse(scene);
    const std::set<std::string> leftOut(picturesLeftOut().begin(), picturesLeftOut().end());
    // Every picture is looked up before any is renamed (see sortTexturesByName).
    std::map<std::string, video::ITexture*> found;
    for (const std::string& name : gate->levelPictures)
        if (video::ITexture* texture = driver->findTexture(name.c_str()))
            found.emplace(name, texture);
    std::set<std::string> drawn;
    for (const auto& [name, texture] : found) {
        // A pixel in place of a picture past a budget is put out of the way as the load begins.
        if (leftOut.count(name) != 0)
            continue;
        if (inUse.count(texture) != 0) {
            drawn.insert(name);
            continue;
        }
        driver->renameTexture(texture, ("set aside " + std::to_string(++setAsideCount) + ": " + name).c_str());
        gate->setAside.emplace(name, texture);
    }
    gate->levelPictures.swap(drawn);
    if (!gate->setAside.empty())
        sortTexturesByName(driver);
}

void releasePicturesSetAside(video::IVideoDriver* driver, scene::ISceneManager* scene) {
    ImageGate* gate = findImageGate(driver);
    if (!gate || gate->setAside.empty())
        return;
    const std::set<const video::ITexture*> inUse = texturesInUse(scene);
    std::map<std::string, video::ITexture*> kept;
    std::map<std::string, video::ITexture*> takenBack;
    for (const auto& [name, texture] : gate->setAside) {
        if (inUse.count(texture) == 0)
            driver->removeTexture(texture);
        else if (driver->findTexture(name.c_str()))
            kept.emplace(name, texture); // its name was read again meanwhile: it stays aside
        else
            takenBack.emplace(name, texture); // a mesh taken back draws with it
    }
    for (const auto& [name, texture] : takenBack) {
        driver->renameTexture(texture, name.c_str());
        gate->levelPictures.insert(name);
    }
    gate->setAside.swap(kept);
    if (!takenBack.empty())
        sortTexturesByName(driver);
}

void releaseLevelPictures(video::IVideoDriver* driver, scene::ISceneManager* scene) {
    setLevelPicturesAside(driver, scene);
    releasePicturesSetAside(driver, scene);
}

void forgetPicturesLeftOut(video::IVideoDriver* driver) {
    static std::uint64_t renamed = 0;
    bool any = false;
    for (const std::string& name : picturesLeftOut())
        if (video::ITexture* pixel = driver ? driver->findTexture(name.c_str()) : nullptr) {
            driver->renameTexture(pixel, ("left out " + std::to_string(++renamed) + ": " + name).c_str());
            any = true;
        }
    if (any)
        sortTexturesByName(driver);
    picturesLeftOut().clear();
}

GamePicturesScope::GamePicturesScope() { ++gamePicturesScopes; }

GamePicturesScope::~GamePicturesScope() { --gamePicturesScopes; }

void registerImageGate(video::IVideoDriver* driver, io::IFileSystem* fileSystem) {
    if (!driver)
        return;
    ImageGate* gate = findImageGate(driver);
    if (!gate) {
        video::IImageLoader* png = nullptr;
        video::IImageLoader* jpeg = nullptr;
        for (u32 i = 0; i < driver->getImageLoaderCount(); ++i) {
            video::IImageLoader* loader = driver->getImageLoader(i);
            if (loader->isALoadableFileExtension("image.png"))
                png = loader;
            if (loader->isALoadableFileExtension("image.jpg"))
                jpeg = loader;
        }
        gate = new ImageGate(driver, png, jpeg);
        driver->addExternalImageLoader(gate);
        gate->drop();
    }
    if (!fileSystem || gate->reclaim)
        return;
    gate->reclaim = new PictureReclaim(fileSystem, gate);
    // The file system holds the archive too; the gate's hold outlives neither.
    if (!fileSystem->addFileArchive(gate->reclaim)) {
        gate->reclaim->drop();
        gate->reclaim = nullptr;
        return;
    }
    gate->reclaim->grab();
    const u32 index = fileSystem->getFileArchiveCount() - 1;
    if (index > 0)
        fileSystem->moveFileArchive(index, -static_cast<s32>(index));
}
