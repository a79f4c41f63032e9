#include "platform/GraphicsScissor.h"

#include "platform/GraphicsLibrary.h"

namespace platform {

namespace {

constexpr unsigned glScissorTest = 0x0C11;
constexpr unsigned glViewport = 0x0BA2;

bool hasContext() {
    using GetString = const unsigned char* (*)(unsigned);
    static const auto getString = glFunction<GetString>("glGetString");
    constexpr unsigned glVersion = 0x1F02;
    return getString && getString(glVersion);
}

} // namespace

bool currentViewport(int viewport[4]) {
    using GetIntegerv = void (*)(unsigned, int*);
    static const auto getIntegerv = glFunction<GetIntegerv>("glGetIntegerv");
    if (!getIntegerv || !hasContext())
        return false;
    getIntegerv(glViewport, viewport);
    return viewport[2] > 0 && viewport[3] > 0;
}

bool setScissorBox(int x, int y, int width, int height) {
    using Enable = void (*)(unsigned);
    using Scissor = void (*)(int, int, int, int);
    static const auto enable = glFunction<Enable>("glEnable");
    static const auto scissor = glFunction<Scissor>("glScissor");
    if (!enable || !scissor || !hasContext())
        return false;
    scissor(x, y, width, height);
    enable(glScissorTest);
    return true;
}

void clearScissorBox() {
    using Disable = void (*)(unsigned);
    static const auto disable = glFunction<Disable>("glDisable");
    if (disable && hasContext())
        disable(glScissorTest);
}

} // namespace platform
