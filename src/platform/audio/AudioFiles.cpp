#include "platform/audio/AudioFiles.h"

#include <irrXML.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>

namespace audio {
namespace {

bool readBool(irr::io::IrrXMLReader& xml, const char* name, bool fallback) {
    const char* text = xml.getAttributeValue(name);
    if (!text)
        return fallback;
    return std::strcmp(text, "true") == 0 || std::strcmp(text, "1") == 0;
}

float readFloat(irr::io::IrrXMLReader& xml, const char* name, float fallback) {
    return xml.getAttributeValue(name) ? xml.getAttributeValueAsFloat(name) : fallback;
}

std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace

Result readEventCatalogue(const char* file, EventCatalogue& catalogue) {
    std::ifstream probe(file, std::ios::binary);
    if (!probe)
        return Result::FileNotFound;
    probe.close();

    std::unique_ptr<irr::io::IrrXMLReader> xml(irr::io::createIrrXMLReader(file));
    if (!xml)
        return Result::FileNotFound;

    bool rootSeen = false;
    EventDescription* current = nullptr;
    while (xml->read()) {
        const irr::io::EXML_NODE type = xml->getNodeType();
        if (type == irr::io::EXN_ELEMENT_END) {
            if (std::strcmp(xml->getNodeName(), "Event") == 0)
                current = nullptr;
            continue;
        }
        if (type != irr::io::EXN_ELEMENT)
            continue;
        const char* node = xml->getNodeName();
        if (!rootSeen) {
            if (std::strcmp(node, "GameAudio") != 0)
                return Result::FileBad;
            rootSeen = true;
            continue;
        }
        const char* name = xml->getAttributeValue("name");
        if (std::strcmp(node, "Category") == 0) {
            if (name && *name)
                catalogue.categories.emplace_back(name);
        } else if (std::strcmp(node, "Event") == 0) {
            current = nullptr;
            if (!name || !*name)
                continue;
            EventDescription event;
            event.name = name;
            const char* category = xml->getAttributeValue("category");
            event.category = category ? category : "";
            event.length = readFloat(*xml, "length", 0.0f);
            event.loop = readBool(*xml, "loop", false);
            event.is3D = readBool(*xml, "is3D", false);
            if (xml->getAttributeValue("maxPlaybacks"))
                event.maxPlaybacks = xml->getAttributeValueAsInt("maxPlaybacks");
            if (event.maxPlaybacks < 1)
                event.maxPlaybacks = 1;
            catalogue.events.push_back(std::move(event));
            if (!xml->isEmptyElement())
                current = &catalogue.events.back();
        } else if (std::strcmp(node, "Parameter") == 0 && current && name && *name) {
            EventDescription::Parameter parameter;
            parameter.name = name;
            parameter.minimum = readFloat(*xml, "min", 0.0f);
            parameter.maximum = readFloat(*xml, "max", 1.0f);
            if (parameter.maximum < parameter.minimum)
                std::swap(parameter.minimum, parameter.maximum);
            current->parameters.push_back(parameter);
        }
    }
    return rootSeen ? Result::Ok : Result::FileBad;
}

float wavLengthSeconds(const char* file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), sizeof(header)) ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return 0.0f;

    std::uint32_t byteRate = 0;
    unsigned char chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), sizeof(chunk))) {
        const std::uint32_t size = littleEndian32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char format[16];
            if (!in.read(reinterpret_cast<char*>(format), sizeof(format)))
                return 0.0f;
            byteRate = littleEndian32(format + 8);
            in.seekg(static_cast<std::streamoff>(size - 16 + (size & 1)), std::ios::cur);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            return byteRate ? static_cast<float>(size) / static_cast<float>(byteRate) : 0.0f;
        } else {
            in.seekg(static_cast<std::streamoff>(size + (size & 1)), std::ios::cur);
        }
    }
    return 0.0f;
}

} // namespace audio
