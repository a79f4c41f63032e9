#pragma once

#include "phys/MathTypes.h"

#include <LinearMath/btTransform.h>

// Conversions between the layer's value types and Bullet's.

namespace phys::detail {

inline btVector3 toBt(const Vec3& v) { return {v.x, v.y, v.z}; }
inline btQuaternion toBt(const Quat& q) { return {q.x, q.y, q.z, q.w}; }
inline btTransform toBt(const Transform& t) { return btTransform(toBt(t.q), toBt(t.p)); }

inline Vec3 fromBt(const btVector3& v) { return {v.x(), v.y(), v.z()}; }
inline Quat fromBt(const btQuaternion& q) { return {q.x(), q.y(), q.z(), q.w()}; }
inline Transform fromBt(const btTransform& t) { return Transform(fromBt(t.getOrigin()), fromBt(t.getRotation())); }

} // namespace phys::detail
