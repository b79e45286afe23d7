#pragma once

#include <array>

namespace volumira {

// 4x4 matrices in GL memory order (column-major: element (row r, column c) at index c * 4 + r).
using Matrix4 = std::array<float, 16>;

// a x b, as glMultMatrix would leave it with a loaded first.
Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b);

// Gauss-Jordan elimination with partial pivoting in single precision. False (out unchanged) when the
// matrix is singular.
bool invertMatrix(const Matrix4& m, Matrix4& out);

// The point whose window coordinates are (x, y, depth) under the inverse of projection x model-view and
// the viewport (x, y, width, height). False (out unchanged) when the homogeneous w comes out as 0.
bool unproject(float x, float y, float depth, const Matrix4& inverse, const std::array<int, 4>& viewport,
               std::array<float, 3>& out);

} // namespace volumira
