#include "core/AudioProject.h"

#include "core/Utf8.h"
#include "core/XmlFile.h"

#include <IXMLReader.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <utility>

namespace {

std::string text(irr::io::IXMLReader& xml, const wchar_t* name) {
    const wchar_t* value = xml.getAttributeValue(name);
    return value ? toUtf8(value) : std::string();
}

bool flag(irr::io::IXMLReader& xml, const wchar_t* name) {
    const wchar_t* value = xml.getAttributeValue(name);
    return value && (std::wcscmp(value, L"true") == 0 || std::wcscmp(value, L"1") == 0);
}

float number(irr::io::IXMLReader& xml, const wchar_t* name, float fallback) {
    const float value = xml.getAttributeValue(name) ? xml.getAttributeValueAsFloat(name) : fallback;
    return std::isfinite(value) ? value : fallback;
}

bool named(irr::io::IXMLReader& xml, const wchar_t* name) { return std::wcscmp(xml.getNodeName(), name) == 0; }

} // namespace

audio::Result readAudioProject(irr::io::IFileSystem* fileSystem, const char* path, int effectCount,
                               AudioProject& project) {
    project = AudioProject{};
    project.effectNames.resize(static_cast<std::size_t>(effectCount));
    irr::io::IXMLReader* xml = fileSystem ? createGuardedXMLReader(fileSystem, path) : nullptr;
    if (!xml)
        return audio::Result::FileNotFound;

    bool rootSeen = false;
    audio::EventDescription* event = nullptr;
    while (xml->read()) {
        if (xml->getNodeType() == irr::io::EXN_ELEMENT_END && named(*xml, L"Event"))
            event = nullptr;
        if (xml->getNodeType() != irr::io::EXN_ELEMENT)
            continue;
        if (!rootSeen) {
            rootSeen = named(*xml, L"GameAudio");
            if (!rootSeen)
                break;
            continue;
        }
        const std::string name = text(*xml, L"name");
        if (named(*xml, L"Category")) {
            if (name.empty())
                ++project.skipped;
            else
                project.events.categories.push_back(name);
        } else if (named(*xml, L"Event")) {
            event = nullptr;
            if (name.empty()) {
                ++project.skipped;
                continue;
            }
            audio::EventDescription description;
            description.name = name;
            description.category = text(*xml, L"category");
            description.length = number(*xml, L"length", 0.0f);
            description.loop = flag(*xml, L"loop");
            description.is3D = flag(*xml, L"is3D");
            if (xml->getAttributeValue(L"maxPlaybacks"))
                description.maxPlaybacks = std::max(1, xml->getAttributeValueAsInt(L"maxPlaybacks"));
            description.volume = std::clamp(number(*xml, L"volume", 1.0f), 0.0f, 1.0f);
            description.pitch = std::clamp(number(*xml, L"pitch", 1.0f), 0.1f, 4.0f);
            description.stream = flag(*xml, L"stream");
            description.minDistance = std::max(0.01f, number(*xml, L"minDistance", description.minDistance));
            description.maxDistance =
                std::max(description.minDistance, number(*xml, L"maxDistance", description.maxDistance));
            project.events.events.push_back(description);
            if (!xml->isEmptyElement())
                event = &project.events.events.back();
        } else if (named(*xml, L"Parameter") && event) {
            if (name.empty()) {
                ++project.skipped;
                continue;
            }
            audio::EventDescription::Parameter parameter;
            parameter.name = name;
            parameter.minimum = number(*xml, L"min", 0.0f);
            parameter.maximum = number(*xml, L"max", 1.0f);
            parameter.volumeAtMinimum = std::clamp(number(*xml, L"volumeAtMin", 1.0f), 0.0f, 1.0f);
            parameter.volumeAtMaximum = std::clamp(number(*xml, L"volumeAtMax", 1.0f), 0.0f, 1.0f);
            parameter.pitchAtMinimum = std::clamp(number(*xml, L"pitchAtMin", 1.0f), 0.1f, 4.0f);
            parameter.pitchAtMaximum = std::clamp(number(*xml, L"pitchAtMax", 1.0f), 0.1f, 4.0f);
            if (parameter.maximum < parameter.minimum) {
                std::swap(parameter.minimum, parameter.maximum);
                std::swap(parameter.volumeAtMinimum, parameter.volumeAtMaximum);
                std::swap(parameter.pitchAtMinimum, parameter.pitchAtMaximum);
            }
            event->parameters.push_back(parameter);
        } else if (named(*xml, L"Sound") && event) {
            const std::string file = text(*xml, L"file");
            if (file.empty())
                ++project.skipped;
            else
                event->sounds.push_back(file);
        } else if (named(*xml, L"Effect")) {
            const int index = xml->getAttributeValueAsInt(L"index");
            const std::string eventName = text(*xml, L"event");
            if (index < 0 || index >= effectCount || eventName.empty() || !xml->getAttributeValue(L"index"))
                ++project.skipped;
            else
                project.effectNames[static_cast<std::size_t>(index)] = eventName;
        }
    }
    xml->drop();
    return rootSeen ? audio::Result::Ok : audio::Result::FileBad;
}
