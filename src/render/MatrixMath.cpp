#include "render/MatrixMath.h"

#include <cmath>
#include <utility>

namespace volumira {

Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b) {
    Matrix4 result{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + r] * b[c * 4 + k];
            result[c * 4 + r] = sum;
        }
    return result;
}

bool invertMatrix(const Matrix4& m, Matrix4& out) {
    // Rows of [m | I], m read as rows and columns of the mathematical matrix.
    float work[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            work[r][c] = m[c * 4 + r];
            work[r][c + 4] = r == c ? 1.0f : 0.0f;
        }
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int r = column + 1; r < 4; ++r)
            if (std::fabs(work[r][column]) > std::fabs(work[pivot][column])) pivot = r;
        if (work[pivot][column] == 0.0f) return false;
        if (pivot != column)
            for (int c = 0; c < 8; ++c)
                std::swap(work[pivot][c], work[column][c]);
        const float scale = 1.0f / work[column][column];
        for (int c = 0; c < 8; ++c)
            work[column][c] *= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == column) continue;
            const float factor = work[r][column];
            if (factor == 0.0f) continue;
            for (int c = 0; c < 8; ++c)
                work[r][c] -= factor * work[column][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[c * 4 + r] = work[r][c + 4];
    return true;
}

bool unproject(float x, float y, float depth, const Matrix4& inverse, const std::array<int, 4>& viewport,
               std::array<float, 3>& out) {
    const float in[4] = {
        2.0f * ((x - static_cast<float>(viewport[0])) / static_cast<float>(viewport[2])) - 1.0f,
        2.0f * ((y - static_cast<float>(viewport[1])) / static_cast<float>(viewport[3])) - 1.0f,
        2.0f * depth - 1.0f, 1.0f};
    float result[4];
    for (int r = 0; r < 4; ++r) {
        result[r] = 0.0f;
        for (int k = 0; k < 4; ++k)
            result[r] += inverse[k * 4 + r] * in[k];
    }
    if (result[3] == 0.0f) return false;
    out = {result[0] / result[3], result[1] / result[3], result[2] / result[3]};
    return true;
}

} // namespace volumira
