#include "platform/Gamepad.h"

namespace platform {

namespace {

class NullPadBackend final : public PadBackend {
public:
    const char* name() const override { return "none"; }
    bool refresh() override { return false; }
    bool getState(int, PadState&) override { return false; }
    bool setVibration(int, std::uint16_t, std::uint16_t) override { return false; }
};

std::unique_ptr<PadBackend>& currentBackend() {
    static std::unique_ptr<PadBackend> backend;
    return backend;
}

} // namespace

std::unique_ptr<PadBackend> createNullPadBackend() { return std::make_unique<NullPadBackend>(); }

PadBackend& padBackend() {
    std::unique_ptr<PadBackend>& backend = currentBackend();
    if (!backend) {
        backend = createSdlPadBackend();
        if (!backend)
            backend = createNullPadBackend();
    }
    return *backend;
}

void setPadBackend(std::unique_ptr<PadBackend> backend) { currentBackend() = std::move(backend); }

} // namespace platform
