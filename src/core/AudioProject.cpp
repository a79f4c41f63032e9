#include "core/AudioProject.h"

#include "core/Utf8.h"
#include "core/XmlFile.h"

#include <IXMLReader.h>

#include <algorithm>
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
    return xml.getAttributeValue(name) ? xml.getAttributeValueAsFloat(name) : fallback;
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
            project.events.events.push_back(description);
            if (!xml->isEmptyElement())
                event = &project.events.events.back();
        } else if (named(*xml, L"Parameter") && event) {
            if (name.empty()) {
                ++project.skipped;
                continue;
            }
            audio::EventDescription::Parameter parameter{name, number(*xml, L"min", 0.0f),
                                                         number(*xml, L"max", 1.0f)};
            if (parameter.maximum < parameter.minimum)
                std::swap(parameter.minimum, parameter.maximum);
            event->parameters.push_back(parameter);
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
