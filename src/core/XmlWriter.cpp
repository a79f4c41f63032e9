#include "core/XmlWriter.h"

#include "core/SafeWrite.h"
#include "core/Utf8.h"

void Utf8XmlWriter::writeXMLHeader() {
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    writeLineBreak();
}

void Utf8XmlWriter::indent() {
    // Like the engine's writer: elements after a line break are indented by their depth.
    if (!out.empty() && out.back() == '\n')
        out.append(static_cast<std::size_t>(depth), '\t');
}

void Utf8XmlWriter::writeEscaped(const wchar_t* text) {
    if (!text)
        return;
    for (const char c : toUtf8(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
}

void Utf8XmlWriter::writeAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !*name)
        return;
    out += ' ';
    out += toUtf8(name);
    out += "=\"";
    writeEscaped(value);
    out += '"';
}

void Utf8XmlWriter::writeElement(const wchar_t* name, bool empty, const wchar_t* attr1Name,
                                 const wchar_t* attr1Value, const wchar_t* attr2Name,
                                 const wchar_t* attr2Value, const wchar_t* attr3Name,
                                 const wchar_t* attr3Value, const wchar_t* attr4Name,
                                 const wchar_t* attr4Value, const wchar_t* attr5Name,
                                 const wchar_t* attr5Value) {
    if (!name)
        return;
    indent();
    out += '<';
    out += toUtf8(name);
    writeAttribute(attr1Name, attr1Value);
    writeAttribute(attr2Name, attr2Value);
    writeAttribute(attr3Name, attr3Value);
    writeAttribute(attr4Name, attr4Value);
    writeAttribute(attr5Name, attr5Value);
    out += empty ? " />" : ">";
    if (!empty)
        ++depth;
    textWrittenLast = false;
}

void Utf8XmlWriter::writeElement(const wchar_t* name, bool empty,
                                 irr::core::array<irr::core::stringw>& names,
                                 irr::core::array<irr::core::stringw>& values) {
    if (!name)
        return;
    indent();
    out += '<';
    out += toUtf8(name);
    for (irr::u32 i = 0; i < names.size() && i < values.size(); ++i)
        writeAttribute(names[i].c_str(), values[i].c_str());
    out += empty ? " />" : ">";
    if (!empty)
        ++depth;
    textWrittenLast = false;
}

void Utf8XmlWriter::writeComment(const wchar_t* comment) {
    if (!comment)
        return;
    indent();
    out += "<!--";
    // "--" may not appear inside a comment.
    std::string text = toUtf8(comment);
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at))
        text.replace(at, 2, "- ");
    out += text;
    out += "-->";
}

void Utf8XmlWriter::writeClosingTag(const wchar_t* name) {
    if (!name)
        return;
    if (depth > 0)
        --depth;
    if (!textWrittenLast)
        indent();
    out += "</";
    out += toUtf8(name);
    out += '>';
    textWrittenLast = false;
}

void Utf8XmlWriter::writeText(const wchar_t* text) {
    writeEscaped(text);
    textWrittenLast = true;
}

void Utf8XmlWriter::writeLineBreak() {
    out += '\n';
}

bool Utf8XmlWriter::save(const std::string& path) const {
    return writeFileSafely(path, out);
}
