#include "level/ContentXml.h"

#include "core/Log.h"
#include "core/XmlFile.h"

#include <IXMLReader.h>

#include <cerrno>
#include <climits>
#include <cwchar>

using namespace irr;

std::wstring ContentElement::text(const wchar_t* attribute) const {
    for (const auto& [name, value] : attributes)
        if (name == attribute)
            return value;
    return {};
}

bool ContentElement::integer(const wchar_t* attribute, s32& value) const {
    const std::wstring digits = text(attribute);
    if (digits.empty())
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long number = std::wcstol(digits.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || number < INT_MIN || number > INT_MAX)
        return false;
    value = static_cast<s32>(number);
    return true;
}

bool readContentXml(io::IFileSystem* fileSystem, const std::string& path,
                    const wchar_t* rootElement,
                    const std::function<void(const ContentElement& element)>& visitElement) {
    io::IXMLReader* reader = createGuardedContentXMLReader(fileSystem, path);
    if (!reader) {
        logMessage(std::string(logErrorPrefix) + "Could not open \"" + path + "\".");
        return false;
    }
    std::vector<ContentElement> elements;
    bool sawRoot = false;
    bool complete = false;
    int depth = 0; // elements open inside the root
    while (!complete && reader->read()) {
        const io::EXML_NODE node = reader->getNodeType();
        if (node == io::EXN_ELEMENT) {
            if (!sawRoot) {
                if (std::wcscmp(reader->getNodeName(), rootElement) != 0)
                    break;
                sawRoot = true;
                complete = reader->isEmptyElement();
                continue;
            }
            ContentElement element;
            element.name = reader->getNodeName();
            element.depth = depth + 1;
            for (u32 i = 0; i < reader->getAttributeCount(); ++i)
                element.attributes.emplace_back(reader->getAttributeName(static_cast<int>(i)),
                                                reader->getAttributeValue(static_cast<int>(i)));
            elements.push_back(std::move(element));
            if (!reader->isEmptyElement())
                ++depth;
        } else if (node == io::EXN_ELEMENT_END && sawRoot) {
            if (depth == 0)
                complete = true;
            else
                --depth;
        }
    }
    reader->drop();
    if (!sawRoot) {
        logMessage(std::string(logErrorPrefix) + "\"" + path +
                   "\" is not a table of the kind expected.");
        return false;
    }
    if (!complete) {
        logMessage(std::string(logWarningPrefix) + "\"" + path +
                   "\" ends early; what it holds up to there is used.");
        // The cut may have gone through the last element's attributes.
        if (!elements.empty())
            elements.pop_back();
    }
    for (const ContentElement& element : elements)
        visitElement(element);
    return true;
}
