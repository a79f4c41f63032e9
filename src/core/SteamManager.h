#pragma once

// The store platform's achievements and statistics holder. There is no store platform
// here: the holder exists so that its callers find it, and nothing sets its two flags.
class SteamManager {
public:
    // The platform is there to take achievement unlocks.
    bool isAvailable() const { return available; }
    // The platform's overlay covers the game: the frame loop ends its pass and menu input
    // is skipped while it is set.
    bool isOverlayActive() const { return overlayActive; }

private:
    bool available = false;
    bool overlayActive = false;
};
