#include <gtest/gtest.h>

#include <utility>

#include "MatrixAlgebra.h"

namespace {

using Mat = linalg::matrix<double>;
double At(const Mat &m, std::size_t r, std::size_t c) {
    return m(r, c);
}  // read without detaching

TEST(Matrix, CopyOnWriteAndReferenceCount) {
    Mat a(2, 3);
    a(1, 2) = 5.0;
    Mat b = a;
    EXPECT_EQ(a.RefCount(), 2u);
    EXPECT_EQ(At(b, 1, 2), 5.0);
    EXPECT_TRUE(a.SharesStorageWith(b));  // reading does not detach
    b(1, 2) = 9.0;                        // writing detaches the writer only
    EXPECT_FALSE(a.SharesStorageWith(b));
    EXPECT_EQ(a.RefCount(), 1u);
    EXPECT_EQ(At(a, 1, 2), 5.0);
    EXPECT_EQ(At(b, 1, 2), 9.0);
    {
        Mat c(1, 1);
        c = a;
        Mat d(a);
        EXPECT_EQ(a.RefCount(), 3u);
    }
    EXPECT_EQ(a.RefCount(), 1u);
    Mat &self = a;
    a = self;
    Mat moved(std::move(a));
    EXPECT_EQ(moved.RefCount(), 1u);
    EXPECT_EQ(At(moved, 1, 2), 5.0);
}

}  // namespace
