#include "render/TextureMipMaps.h"

using namespace irr;

TextureMipMaps::TextureMipMaps(video::IVideoDriver* videoDriver, bool made) : driver(videoDriver) {
    if (!driver)
        return;
    before = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, made);
}

TextureMipMaps::~TextureMipMaps() {
    if (driver)
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, before);
}
