#pragma once

#include <irrlicht.h>

// The plane arithmetic of mirror passes (water and reflective objects): a pass draws the
// scene from a camera mirrored across a plane and must cut away what lies behind it.

// The plane with its normal scaled to unit length (D with it).
irr::core::plane3df unitPlane(irr::core::plane3df plane);

// The projection with its near plane replaced by the view-space plane (points with
// N . v + D >= 0 are kept) and its far plane kept through the far corner on the plane's
// side. The Phong shaders do not clip against user planes, so a mirror pass cuts the scene
// with its projection instead.
irr::core::matrix4 obliqueProjection(const irr::core::matrix4& projection, const irr::core::plane3df& viewPlane);

// The view-space plane as a clip-space plane: the row vector (N, D) times the transpose of
// the inverse projection (the identity stands in for a projection without an inverse).
irr::core::plane3df clipSpacePlane(const irr::core::plane3df& viewPlane, const irr::core::matrix4& projection);
