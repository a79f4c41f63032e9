#include "level/AttributeExtras.h"

using namespace irr;

void addObjectReference(io::IAttributes* out, const char* name, s32 objectID) {
    if (out)
        out->addInt(name, objectID);
}

void addFilePath(io::IAttributes* out, const char* name, const char* path) {
    if (out)
        out->addString(name, path ? path : "");
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
