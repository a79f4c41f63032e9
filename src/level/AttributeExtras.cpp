#include "level/AttributeExtras.h"

#include "core/Utf8.h"

using namespace irr;

void addObjectReference(io::IAttributes* out, const char* name, s32 objectID) {
    if (out)
        out->addInt(name, objectID);
}

void addFilePath(io::IAttributes* out, const char* name, const char* path) {
    if (out)
        out->addString(name, fromUtf8(path ? path : "").c_str());
}

void addFilePath(io::IAttributes* out, const char* name, const wchar_t* path) {
    if (out)
        out->addString(name, path ? path : L"");
}

void addObjectIDList(io::IAttributes* out, const char* name, const char* expression) {
    if (out)
        out->addString(name, expression ? expression : "");
}

void addObjectIDList(io::IAttributes* out, const char* name, const wchar_t* expression) {
    if (out)
        out->addString(name, expression ? expression : L"");
}

namespace {

template <class T, class Get>
bool readFound(io::IAttributes* in, const char* name, T& value, Get get) {
    if (!in)
        return false;
    const s32 index = in->findAttribute(name);
    if (index < 0)
        return false;
    value = get(index);
    return true;
}

} // namespace

bool readIfPresent(io::IAttributes* in, const char* name, s32& value) {
    return readFound(in, name, value, [in](s32 i) { return in->getAttributeAsInt(i); });
}

bool readIfPresent(io::IAttributes* in, const char* name, f32& value) {
    return readFound(in, name, value, [in](s32 i) { return in->getAttributeAsFloat(i); });
}

bool readIfPresent(io::IAttributes* in, const char* name, bool& value) {
    return readFound(in, name, value, [in](s32 i) { return in->getAttributeAsBool(i); });
}

bool readIfPresent(io::IAttributes* in, const char* name, core::vector3df& value) {
    return readFound(in, name, value, [in](s32 i) { return in->getAttributeAsVector3d(i); });
}

bool readIfPresent(io::IAttributes* in, const char* name, core::vector2df& value) {
    return readFound(in, name, value, [in](s32 i) { return in->getAttributeAsVector2d(i); });
}

bool readIfPresent(io::IAttributes* in, const char* name, core::stringc& value) {
    return readFound(in, name, value, [in](s32 i) {
        return core::stringc(utf8FromAttributeText(in->getAttributeAsStringW(i).c_str()).c_str());
    });
}

bool readEnumIfPresent(io::IAttributes* in, const char* name, const char* const* literals,
                       s32& value) {
    if (!in)
        return false;
    const s32 index = in->findAttribute(name);
    if (index < 0)
        return false;
    const s32 found = in->getAttributeAsEnumeration(index, literals);
    if (found < 0)
        return false;
    value = found;
    return true;
}
