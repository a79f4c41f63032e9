#pragma once

#include <IXMLWriter.h>

#include <string>

// The engine's XML writer writes wchar_t, which makes UTF-32 files on Linux: four times
// larger than needed and unreadable in most editors. The player's XML files (settings,
// remapping, save, levels and checkpoints) are written through this writer instead: the
// same elements, attributes, comments and line breaks as the engine's, as UTF-8 without a
// byte-order mark, collected in memory and put on the disk whole by one safe write.
class Utf8XmlWriter : public irr::io::IXMLWriter {
public:
    void writeXMLHeader() override;
    void writeElement(const wchar_t* name, bool empty = false, const wchar_t* attr1Name = nullptr,
                      const wchar_t* attr1Value = nullptr, const wchar_t* attr2Name = nullptr,
                      const wchar_t* attr2Value = nullptr, const wchar_t* attr3Name = nullptr,
                      const wchar_t* attr3Value = nullptr, const wchar_t* attr4Name = nullptr,
                      const wchar_t* attr4Value = nullptr, const wchar_t* attr5Name = nullptr,
                      const wchar_t* attr5Value = nullptr) override;
    void writeElement(const wchar_t* name, bool empty,
                      irr::core::array<irr::core::stringw>& names,
                      irr::core::array<irr::core::stringw>& values) override;
    void writeComment(const wchar_t* comment) override;
    void writeClosingTag(const wchar_t* name) override;
    void writeText(const wchar_t* text) override;
    void writeLineBreak() override;

    const std::string& text() const { return out; }

    // Writes the collected text to the file by a safe write; false (logged) on failure.
    bool save(const std::string& path) const;

private:
    void indent();
    void writeAttribute(const wchar_t* name, const wchar_t* value);
    void writeEscaped(const wchar_t* text);

    std::string out;
    int depth = 0;
    bool textWrittenLast = false;
};
