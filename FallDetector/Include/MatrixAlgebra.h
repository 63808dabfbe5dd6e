#pragma once
// Small dense matrix of row-major values whose storage is shared between copies and
// reference-counted; writing an element through the accessor first gives the matrix its
// own copy when the storage is shared. The engine only ever builds 3x3 matrices and does
// not need one per sample.
#include <cassert>
#include <cstddef>
#include <new>

namespace linalg {

template <typename T>
class matrix {
  public:
    struct base_mat {
        T *Val;
        std::size_t nrow;
        std::size_t ncol;
        std::size_t refcnt;
    };

    matrix(std::size_t rows = 0, std::size_t cols = 0) : _m(make(rows, cols)) {}
    matrix(const matrix &other) : _m(other._m) {
        if (_m)
            ++_m->refcnt;
    }
    matrix(matrix &&other) noexcept : _m(other._m) { other._m = nullptr; }
    matrix &operator=(const matrix &other) {
        // Take the new reference before dropping the old one, so self-assignment is harmless.
        base_mat *incoming = other._m;
        if (incoming)
            ++incoming->refcnt;
        base_mat *old = _m;
        _m = incoming;
        drop(old);
        return *this;
    }
    matrix &operator=(matrix &&other) noexcept {
        if (this != &other) {
            base_mat *old = _m;
            _m = other._m;
            other._m = nullptr;
            drop(old);
        }
        return *this;
    }
    ~matrix() {
        base_mat *old = _m;
        _m = nullptr;
        drop(old);
    }

    std::size_t RowNo() const { return _m ? _m->nrow : 0; }
    std::size_t ColNo() const { return _m ? _m->ncol : 0; }
    // Number of matrices sharing this storage (0 for an empty moved-from matrix).
    std::size_t RefCount() const { return _m ? _m->refcnt : 0; }
    // True when both refer to the same storage record.
    bool SharesStorageWith(const matrix &other) const { return _m != nullptr && _m == other._m; }

    // Read access never copies.
    const T &operator()(std::size_t row, std::size_t col) const {
        assert(_m && row < _m->nrow && col < _m->ncol);
        return _m->Val[row * _m->ncol + col];
    }
    // Write access: detach from shared storage first.
    T &operator()(std::size_t row, std::size_t col) {
        clone();
        assert(_m && row < _m->nrow && col < _m->ncol);
        return _m->Val[row * _m->ncol + col];
    }

  private:
    static base_mat *make(std::size_t rows, std::size_t cols) {
        base_mat *m = new (std::nothrow) base_mat{nullptr, rows, cols, 1};
        if (!m)
            return nullptr;
        const std::size_t n = rows * cols;
        if (n) {
            m->Val = new (std::nothrow) T[n]();
            if (!m->Val) {
                delete m;
                return nullptr;
            }
        }
        return m;
    }
    // Out of line: inlined into callers, GCC's use-after-free analysis cannot follow the
    // reference count and reports the shared storage as freed.
    [[gnu::noinline]] static void drop(base_mat *m) {
        if (m && --m->refcnt == 0) {
            delete[] m->Val;
            delete m;
        }
    }
    void clone() {
        if (!_m || _m->refcnt == 1)
            return;
        base_mat *copy = make(_m->nrow, _m->ncol);
        assert(copy);
        if (!copy)
            return;
        const std::size_t n = _m->nrow * _m->ncol;
        for (std::size_t i = 0; i < n; ++i) copy->Val[i] = _m->Val[i];
        --_m->refcnt;
        _m = copy;
    }

    base_mat *_m;
};

}  // namespace linalg
