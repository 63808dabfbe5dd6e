#include <gtest/gtest.h>

#include <utility>

#include "MatrixAlgebra.h"

namespace {

using Mat = linalg::matrix<double>;

TEST(Matrix, StartsZeroedRowMajor) {
  Mat m(2, 3);
  EXPECT_EQ(m.RowNo(), 2u);
  EXPECT_EQ(m.ColNo(), 3u);
  EXPECT_EQ(m.RefCount(), 1u);
  for (std::size_t r = 0; r < 2; ++r)
    for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(static_cast<const Mat&>(m)(r, c), 0.0);
  m(1, 2) = 5.0;
  m(0, 1) = 2.0;
  const Mat& cm = m;
  EXPECT_EQ(cm(1, 2), 5.0);
  EXPECT_EQ(cm(0, 1), 2.0);
  EXPECT_EQ(cm(1, 1), 0.0);
}

TEST(Matrix, CopiesShareUntilWritten) {
  Mat a(3, 3);
  a(0, 0) = 1.0;
  Mat b = a;
  EXPECT_TRUE(a.SharesStorageWith(b));
  EXPECT_EQ(a.RefCount(), 2u);

  // Reading through a const view never detaches.
  const Mat& cb = b;
  EXPECT_EQ(cb(0, 0), 1.0);
  EXPECT_TRUE(a.SharesStorageWith(b));

  // Writing detaches the writer only; the other keeps its value.
  b(0, 0) = 9.0;
  EXPECT_FALSE(a.SharesStorageWith(b));
  EXPECT_EQ(a.RefCount(), 1u);
  EXPECT_EQ(b.RefCount(), 1u);
  EXPECT_EQ(static_cast<const Mat&>(a)(0, 0), 1.0);
  EXPECT_EQ(cb(0, 0), 9.0);

  // A sole owner writes in place.
  Mat c(1, 1);
  Mat d = c;
  d = Mat(1, 1);
  EXPECT_EQ(c.RefCount(), 1u);
}

TEST(Matrix, AssignmentAndDestructionCountReferences) {
  Mat a(2, 2);
  {
    Mat b(1, 1);
    b = a;
    EXPECT_EQ(a.RefCount(), 2u);
    Mat c(a);
    EXPECT_EQ(a.RefCount(), 3u);
  }
  EXPECT_EQ(a.RefCount(), 1u);

  Mat& self = a;
  a = self;  // self-assignment keeps the storage alive
  EXPECT_EQ(a.RefCount(), 1u);
  a(1, 1) = 4.0;
  EXPECT_EQ(static_cast<const Mat&>(a)(1, 1), 4.0);

  Mat moved(std::move(a));
  EXPECT_EQ(moved.RefCount(), 1u);
  EXPECT_EQ(a.RefCount(), 0u);
  EXPECT_EQ(static_cast<const Mat&>(moved)(1, 1), 4.0);
}

}  // namespace
