#pragma once

#include <irrlicht.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

struct ShadowNode;

// Where the shadow maps can darken what is drawn. A software rasterizer pays for every map
// read of every lit pixel, branch or not, so a draw reads the maps only where a shadow can
// fall: a receiver beyond the shadows' distance or off the maps takes no shadow at all, one
// that no caster's shadow reaches reads no map (its facing alone darkens it), and a large one
// is drawn in pieces of the target, the maps read only in the pieces a shadow reaches. A
// caster whose shadow reaches nothing (the ground under everything) is not drawn into the
// maps at all.
//
// A shadow reaches what lies in the volume its caster's box sweeps away from the light. For
// a caster whose mesh is closed and convex only the part beyond its box counts: what lies
// inside it cannot be seen, and such a mesh shadows itself only where it turns from the
// light, which its facing darkens without the maps.
//
// Casters and receivers are paired through a grid across the light: a shadow reaches only
// what lies beside its caster across the light, so each looks only at the cells its bounds
// there touch, and a level of many objects pays for the pairs that are near each other, not
// for every pair.
class ShadowReceivers {
public:
    // A box of the target in window coordinates (from its bottom left, as OpenGL counts them),
    // and whether the draw reads the maps there.
    struct Piece {
        irr::s32 x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        bool readsMaps = true;
    };
    enum class Reach {
        unshadowed, // wholly beyond the shadows' distance or off the maps: lit as without them
        facingOnly, // no caster's shadow reaches it: only its facing darkens it
        everywhere, // the maps may darken any of it
        inPieces    // facingOnly except in the pieces that read the maps
    };
    // One cascade as the receivers' pixel stage reads it: its light projection x view, and the
    // view depths it is read for, from nearDepth to before farDepth.
    struct Cascade {
        irr::core::matrix4 viewProjection;
        irr::f32 nearDepth = 0.0f;
        irr::f32 farDepth = 0.0f;
    };

    // Side of the square tiles a receiver's pieces are made of, in pixels; a receiver of less
    // screen area than `leastSplitShare` of the viewport, or one of more than `mostPieces`
    // pieces or whose shadowed tiles are more than `mostShadowedShare` of its own, or of more
    // than `mostSplitTriangles` triangles, or that more than `mostSplitCasters` casters reach,
    // is drawn whole.
    static constexpr irr::s32 tileSize = 32;
    static constexpr irr::f32 leastSplitShare = 0.003f;
    static constexpr irr::f32 mostShadowedShare = 0.6f;
    static constexpr std::size_t mostPieces = 48;
    // Each piece draws all of the receiver's triangles again: one of more is drawn whole.
    static constexpr std::uint64_t mostSplitTriangles = 256;
    // So many shadows cover much of a receiver, and each costs its pieces the work of finding
    // where it falls.
    static constexpr std::size_t mostSplitCasters = 4 * mostPieces;
    // The grid across the light has about one cell per object, at most this many a side; a
    // grid of one cell pairs every caster with every receiver.
    static constexpr std::size_t defaultCellsAcross = 64;

    explicit ShadowReceivers(std::size_t mostCellsAcross = defaultCellsAcross);

    // A shadow pass, before it draws: the casters of the list, the receivers (every mesh the
    // scene under `root` draws), the direction from the light to its target, how far across
    // it a map is read beside a point (`margin`), and the light's box across it (around
    // `focus`, `boxHalfWidth` each way): what lies off it takes no part.
    void setCasters(const std::vector<ShadowNode>& nodes, irr::scene::ISceneNode* root,
                    const irr::core::vector3df& awayFromLight, irr::f32 margin, const irr::core::vector3df& focus,
                    irr::f32 boxHalfWidth);
    // Whether entry `entry` of the list casts onto anything: an entry that does not need not
    // be drawn into the maps. True for every entry before setCasters.
    bool castsOntoAnything(std::size_t entry) const;
    // The pass's cascades, once its light matrices are made.
    void setCascades(const std::vector<Cascade>& passCascades);
    // No pass to go by: every receiver is reached everywhere, every entry casts.
    void forget();

    // Where the shadows can reach a receiver drawn with the camera's projection x view into
    // the viewport (x, y, width, height in window coordinates); `pieces` holds the pieces for
    // inPieces, which cover the receiver's box on the screen.
    Reach reach(irr::scene::ISceneNode* receiver, const irr::core::matrix4& viewProjection,
                const irr::s32 viewport[4], std::vector<Piece>& pieces);

    // The caster-receiver pairs looked at (past the grid) since the last setCasters: what the
    // pairing costs grows with it.
    std::size_t pairsTested() const { return pairTests; }
    // The receivers whose answer is kept from an earlier pass (see `settled`).
    std::size_t settledReceivers() const;
    // The room held for the corners an answer of yes or no finds: one answer's, however many
    // passes ask.
    std::size_t answerScratch() const { return unusedPoints.capacity(); }

    // Adds to `points` the corners of the part of the box `receiver` that the box `caster`
    // reaches when swept along `away` (a unit vector) and grown by `across` across it (only
    // the part beyond the caster's box when `beyondCaster`, and in front of the plane
    // `inFront` when given); false when it reaches none. With `firstOnly` it stops at the first
    // corners found: enough to know that it reaches.
    static bool sweptBoxMeets(const irr::core::aabbox3df& caster, const irr::core::vector3df& away, irr::f32 across,
                              bool beyondCaster, const irr::core::aabbox3df& receiver,
                              std::vector<irr::core::vector3df>& points,
                              const irr::core::plane3df* inFront = nullptr, bool firstOnly = false);

private:
    // A box where a node draws, with its bounds across the light and along it.
    struct Placed {
        irr::scene::ISceneNode* node = nullptr;
        irr::core::aabbox3df box;
        irr::f32 low[2] = {0.0f, 0.0f}, high[2] = {0.0f, 0.0f}; // across the light
        irr::f32 nearest = 0.0f, farthest = 0.0f;               // along it
        bool closedConvex = false;
        bool alone = true; // the node's only placement
    };
    // The placed boxes binned into the cells across the light that their bounds there touch
    // (one touching more than `mostCellsOfOne` cells is kept apart and looked at by every
    // query).
    struct Grid {
        static constexpr std::size_t mostCellsOfOne = 16;
        std::size_t across[2] = {1, 1};
        irr::f32 origin[2] = {0.0f, 0.0f};
        irr::f32 cellSize[2] = {1.0f, 1.0f};
        std::vector<irr::u32> cellStart; // per cell, into cellItems; one more at the end
        std::vector<irr::u32> cellItems;
        std::vector<irr::u32> large;
        std::vector<irr::u32> seen; // per item, the query that last met it
        irr::u32 query = 0;
        void build(const std::vector<Placed>& items, const irr::f32 lightLow[2], const irr::f32 lightHigh[2],
                   std::size_t mostAcross);
        void cells(const irr::f32 low[2], const irr::f32 high[2], std::size_t from[2], std::size_t to[2]) const;
        // Calls `visit` once with each item whose cells meet those of the bounds grown by
        // `grow`, until it answers true; true when it did.
        template <class Visit> bool each(const Placed& bounds, irr::f32 grow, Visit&& visit);
    };
    Placed place(irr::scene::ISceneNode* node, const irr::core::aabbox3df& box, bool closedConvex, bool alone) const;
    // Whether the caster's shadow can reach the receiver (`points`, when given, gets the
    // corners of the part of the receiver it reaches).
    bool casts(const Placed& caster, const Placed& receiver, std::vector<irr::core::vector3df>* points,
               const irr::core::plane3df* inFront = nullptr);
    bool inLightBox(const Placed& placed) const;
    // The drawn nodes below `node` (an animated mesh's joints passed by).
    void gatherReceivers(irr::scene::ISceneNode* node, bool animatedMesh = false);
    // The points in window coordinates; false when one lies behind the camera.
    static bool project(const std::vector<irr::core::vector3df>& corners, const irr::core::matrix4& viewProjection,
                        const irr::s32 viewport[4], std::vector<irr::core::vector2df>& out);
    // Marks the tiles of the receiver's screen box (`area`, `columns` x `rows` tiles) that the
    // convex hull of the points touches.
    // Answers how many tiles it marked that were not marked before.
    std::size_t markTiles(std::vector<irr::core::vector2df>& polygon, const irr::s32 area[4], irr::s32 columns,
                          irr::s32 rows);
    // Whether the box lies wholly off the maps of the cascades it is read from at view depths
    // `nearest` to `farthest`, or beyond the last one's far depth.
    bool offTheMaps(const irr::core::aabbox3df& box, irr::f32 nearest, irr::f32 farthest) const;
    // The marked tiles of the receiver's screen box (those a shadow reaches) and the others,
    // into pieces; false when the receiver is better drawn whole.
    bool cutIntoPieces(const irr::s32 area[4], irr::s32 columns, irr::s32 rows, std::vector<Piece>& pieces);

    // Keeps the answers of small receivers (drawn whole) while no caster that could reach
    // them has changed: in a still scene each pass, and the next frame's, look up the answer
    // instead of trying the casters again. An answer is kept only for a receiver wholly in
    // front of its pass's camera, where the camera takes no part in it.
    void settleChanges(const irr::core::vector3df& previousAway, irr::f32 previousMargin);
    struct Settled {
        Placed placed;
        bool reached = false;
        bool holds = false; // false once a caster that could reach it changed
    };
    // Answers that no longer hold are kept for their receivers' next ones while the map holds
    // at most twice the pass's receivers and so many more.
    static constexpr std::size_t mostStaleAnswers = 64;
    // An entry's answer of the last pass: whether it casts onto anything.
    struct EntryAnswer {
        Placed placed;
        bool reaches = false;
        bool known = false;
    };
    // The answer for a view of a receiver that does not settle, kept while no caster and no
    // map changed (`castersSeen`). Such receivers are few (the large ones, and those reaching
    // behind a camera): the last `keptViews` answers are kept, each with room for the most
    // pieces, so that keeping them never allocates.
    static constexpr std::size_t keptViews = 32;
    struct ViewAnswer {
        irr::scene::ISceneNode* node = nullptr;
        irr::core::matrix4 viewProjection;
        irr::s32 viewport[4] = {0, 0, 0, 0};
        irr::core::aabbox3df box;
        bool closedConvex = false;
        std::uint64_t castersSeen = 0;
        Reach reach = Reach::everywhere;
        std::vector<Piece> pieces;
    };
    // Where the casters' shadows reach the receiver as the view draws it (reach's work past
    // what it keeps).
    Reach answerReach(irr::scene::ISceneNode* receiver, const Placed& placed, const irr::core::matrix4& viewProjection,
                      const irr::s32 viewport[4], const irr::core::plane3df& front, const irr::s32 area[4],
                      irr::s32 columns, irr::s32 rows, bool whole, bool settles, std::vector<Piece>& pieces);
    // So many changes forget every answer rather than look for those they touch.
    static constexpr std::size_t mostChanged = 64;
    // The boxes of `now` and `before` (each in one order) that differ between them, into
    // `changed`; false past mostChanged.
    static bool changesBetween(const std::vector<Placed>& before, const std::vector<Placed>& now,
                               std::vector<Placed>& changed);
    // Whether the caster's shadow may reach the receiver as far as their bounds across and
    // along the light tell.
    bool mayReach(const Placed& caster, const Placed& receiver) const;

    std::size_t mostCellsAcross;
    std::vector<Placed> casters;
    std::vector<Placed> previousCasters; // the last pass's, for settleChanges
    std::vector<Placed> changedCasters;  // scratch of settleChanges
    std::vector<Placed> previousReceivers; // the last pass's, for the entries' answers
    std::vector<Placed> changedReceivers;  // scratch of setCasters
    std::vector<EntryAnswer> entryAnswers; // per entry of the list
    std::unordered_map<irr::scene::ISceneNode*, Settled> settled;
    std::vector<ViewAnswer> viewAnswers; // keptViews of them, replaced in turn
    std::size_t nextViewAnswer = 0;
    std::uint64_t casterChanges = 0; // passes whose casters or maps changed
    std::vector<Placed> receivers;
    Grid casterGrid, receiverGrid;
    std::size_t pairTests = 0;
    std::vector<char> entryCasts; // per entry of the list
    std::vector<Cascade> cascades;
    irr::core::vector3df away{0.0f, -1.0f, 0.0f};
    irr::core::vector3df acrossAxes[2];
    irr::f32 boxLow[2] = {0.0f, 0.0f}, boxHigh[2] = {0.0f, 0.0f}; // the light's box across it
    irr::f32 margin = 0.0f;
    bool known = false;
    bool cascadesKnown = false;
    // Scratch, kept between calls.
    struct OpenPiece {
        irr::s32 c0, c1;
        bool readsMaps;
        irr::s32 lastRow;
        std::size_t piece;
    };
    std::vector<irr::core::matrix4> placements;
    std::vector<irr::core::vector3df> points;
    std::vector<irr::core::vector3df> unusedPoints;
    std::vector<irr::core::vector2df> screenPoints;
    std::vector<irr::core::vector2df> hull;
    std::vector<char> marks;
    std::vector<char> bandMarks;
    std::vector<OpenPiece> openPieces;
};
