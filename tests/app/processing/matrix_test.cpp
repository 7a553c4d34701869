// matrixT: shared storage with copy on write, the plane transforms, product,
// inverse and resize, and what each size or index error leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/core/Utilities.h"
#include "app/processing/MatrixT.h"
#include "tests/support/LoggedFolder.h"

namespace {

using rovana::kPi;
using rovana::matrixT;

matrixT Make(std::initializer_list<std::initializer_list<double>> rows) {
  const int n = static_cast<int>(rows.size());
  const int m = n ? static_cast<int>(rows.begin()->size()) : 0;
  matrixT a(n, m);
  int r = 0;
  for (const auto& row : rows) {
    int c = 0;
    for (double v : row) a(r, c++) = v;
    ++r;
  }
  return a;
}

std::string Dump(const matrixT& a) {
  std::string text = std::to_string(a.rows()) + "x" + std::to_string(a.columns()) + ":";
  for (int r = 0; r < a.rows(); ++r)
    for (int c = 0; c < a.columns(); ++c) text += " " + std::to_string(a.at(r, c));
  return text;
}

constexpr double kTransformTolerance = 1e-12;

class MatrixErrors : public testing_support::LoggedFolderTest {};

TEST(Matrix, ConstructedElementsStartAtZero) {
  const matrixT a(2, 3);
  EXPECT_EQ(a.rows(), 2);
  EXPECT_EQ(a.columns(), 3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(a.at(r, c), 0);
  EXPECT_TRUE(matrixT().empty());
}

TEST(Matrix, InverseSwapsRowsWhenTheFirstPivotIsZeroAndIsExact) {
  // The first column (0, 2, 1) has its largest element in row 1.
  const matrixT a = Make({{0, 1, 2}, {2, 1, 0}, {1, 0, 1}});
  const matrixT inverse = !a;
  const matrixT want = Make({{-0.25, 0.25, 0.5}, {0.5, 0.5, -1}, {0.25, -0.25, 0.5}});
  EXPECT_EQ(inverse, want) << Dump(inverse);
  matrixT identity(3, 3);
  identity.Identity();
  EXPECT_EQ(a * inverse, identity) << Dump(a * inverse);
  EXPECT_EQ(a, Make({{0, 1, 2}, {2, 1, 0}, {1, 0, 1}})) << "inversion works on a private copy";
}

TEST(Matrix, TransformsMovePointsAsTheyShould) {
  struct Case {
    const char* name;
    matrixT transform;
    double x, y, wantX, wantY;
  };
  matrixT scaling(3, 3), uniform, rotation, translation, scaleThenMove, moveThenScale;
  scaling.Scaling(2, -3);
  uniform.Scaling(0.5);
  rotation.Rotation(kPi / 2);
  translation.Translation(10, -20);
  scaleThenMove = translation * scaling;  // column vectors: the right factor acts first
  moveThenScale = scaling * translation;
  const Case cases[] = {
      {"scaling", scaling, 1, 1, 2, -3},
      {"uniform scaling", uniform, 4, -6, 2, -3},
      {"rotation of x", rotation, 1, 0, 0, -1},
      {"rotation of y", rotation, 0, 1, 1, 0},
      {"translation", translation, 1, 2, 11, -18},
      {"scale then move", scaleThenMove, 1, 1, 12, -23},
      {"move then scale", moveThenScale, 1, 1, 22, 57},
      {"inverse undoes", !scaleThenMove, 12, -23, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.transform.rows(), 3);
    ASSERT_EQ(c.transform.columns(), 3);
    const matrixT::Point p = c.transform.Apply(c.x, c.y);
    EXPECT_NEAR(p.x, c.wantX, kTransformTolerance);
    EXPECT_NEAR(p.y, c.wantY, kTransformTolerance);
    EXPECT_EQ(c.transform.at(2, 0), 0);
    EXPECT_EQ(c.transform.at(2, 1), 0);
    EXPECT_NEAR(c.transform.at(2, 2), 1, kTransformTolerance);
  }
}

TEST(Matrix, TransformElementsAreWhereTheyBelong) {
  const double a = 0.3;
  matrixT r;
  r.Rotation(a);
  EXPECT_EQ(r, Make({{std::cos(a), std::sin(a), 0}, {-std::sin(a), std::cos(a), 0}, {0, 0, 1}}));
  matrixT t(4, 4);
  t.Translation(5, 6);
  EXPECT_EQ(t, Make({{1, 0, 5, 0}, {0, 1, 6, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}})) << "a larger matrix keeps its size";
}

TEST(Matrix, IdentityMakesTheMatrixSquare) {
  matrixT a = Make({{5, 5, 5, 5}, {5, 5, 5, 5}});
  a.Identity();
  EXPECT_EQ(a, Make({{1, 0}, {0, 1}}));
}

TEST(Matrix, ProductHasTheOuterSizes) {
  const matrixT a = Make({{1, 2, 3}, {4, 5, 6}});
  const matrixT b = Make({{1, 0}, {0, 1}, {1, 1}});
  EXPECT_EQ(a * b, Make({{4, 5}, {10, 11}}));
  matrixT square = Make({{1, 1}, {0, 1}});
  square *= square;  // the same handle on both sides
  EXPECT_EQ(square, Make({{1, 2}, {0, 1}}));
}

TEST(Matrix, CopiesShareUntilOneIsWritten) {
  matrixT a = Make({{1, 2}, {3, 4}});
  matrixT b = a;
  EXPECT_EQ(a.shareCount(), 2);
  b(0, 0) = 9;
  EXPECT_EQ(a.shareCount(), 1);
  EXPECT_EQ(b.shareCount(), 1);
  EXPECT_EQ(a.at(0, 0), 1);
  EXPECT_EQ(b.at(0, 0), 9);

  matrixT c = a, d = a;
  d.Identity();
  c.Resize(3, 3);
  EXPECT_EQ(a, Make({{1, 2}, {3, 4}})) << "identity and resize copy before changing";
  EXPECT_EQ(d, Make({{1, 0}, {0, 1}}));
  matrixT e = a * Make({{1, 0}, {0, 1}});
  e(1, 1) = 0;
  EXPECT_EQ(a.at(1, 1), 4);
  (void)a.at(0, 0);
  matrixT f = a;
  const matrixT& readOnly = f;
  EXPECT_EQ(readOnly(1, 1), 4);
  EXPECT_EQ(a.shareCount(), 2) << "reading never copies";
  f = matrixT();
  EXPECT_EQ(a.shareCount(), 1) << "assignment releases the old storage";
}

TEST(Matrix, ResizeKeepsTheOverlapAndZeroesTheRest) {
  struct Case {
    const char* name;
    int rows, columns;
    matrixT want;
  };
  const Case cases[] = {
      {"grow", 3, 4, Make({{1, 2, 3, 0}, {4, 5, 6, 0}, {0, 0, 0, 0}})},
      {"shrink", 1, 2, Make({{1, 2}})},
      {"wider, fewer rows", 1, 4, Make({{1, 2, 3, 0}})},
      {"same", 2, 3, Make({{1, 2, 3}, {4, 5, 6}})},
      {"to nothing", 0, 0, matrixT()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    matrixT a = Make({{1, 2, 3}, {4, 5, 6}});
    a.Resize(c.rows, c.columns);
    EXPECT_EQ(a, c.want) << Dump(a);
  }
}

// Guards against stale elements: Identity shrinks the logical size inside the
// old allocation, and growing back into it must not show the old values.
TEST(Matrix, ResizeBackIntoTheAllocationShowsZeros) {
  matrixT a = Make({{1, 2, 3}, {4, 5, 6}});
  a.Identity();  // 2 x 2 inside the 2 x 3 allocation
  a.Resize(2, 3);
  EXPECT_EQ(a, Make({{1, 0, 0}, {0, 1, 0}}));
}

TEST_F(MatrixErrors, IndexOutOfRangeTouchesNothing) {
  matrixT a = Make({{1, 2}, {3, 4}});
  const matrixT before = a;
  const std::pair<int, int> outside[] = {{2, 0}, {0, 2}, {-1, 0}, {0, -1}, {1 << 30, 1 << 30}};
  for (auto [r, c] : outside) {
    SCOPED_TRACE(std::to_string(r) + "," + std::to_string(c));
    a(r, c) = 42;
    EXPECT_EQ(a.at(r, c), 0);
    EXPECT_EQ(a(r, c), 0) << "the scratch element does not keep the write";
  }
  EXPECT_EQ(a, Make({{1, 2}, {3, 4}}));
  EXPECT_EQ(before, a);
  EXPECT_NE(LogText().find("matrixT::operator(): Index out of range!"), std::string::npos);
}

TEST_F(MatrixErrors, FailedProductsAndInversesLeaveAnEmptyMatrix) {
  struct Case {
    const char* name;
    matrixT result;
    const char* message;
  };
  matrixT inPlace = Make({{1, 2}});
  inPlace *= Make({{1, 2}});
  const Case cases[] = {
      {"product", Make({{1, 2, 3}}) * Make({{1, 2}}), "matrixT::operator*= : Inconsistent matrix sizes in multiplication!"},
      {"product in place", inPlace, "matrixT::operator*= : Inconsistent matrix sizes in multiplication!"},
      {"non-square", !Make({{1, 2, 3}, {4, 5, 6}}), "matrixT::operator!: Inversion of a non-square matrix"},
      {"singular", !Make({{1, 2}, {2, 4}}), "matrixT::operator!: Inversion of a singular matrix"},
      {"zero column", !Make({{0, 1}, {0, 1}}), "matrixT::operator!: Inversion of a singular matrix"},
      {"not a number", !Make({{NAN, 0}, {0, 1}}), "matrixT::operator!: Inversion of a singular matrix"},
  };
  const std::string log = LogText();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result.rows(), 0);
    EXPECT_EQ(c.result.columns(), 0);
    EXPECT_NE(log.find(c.message), std::string::npos);
  }
}

TEST_F(MatrixErrors, InvalidSizesGiveAnEmptyMatrix) {
  const matrixT negative(-1, 3);
  EXPECT_TRUE(negative.empty());
  matrixT a(2, 2);
  a.Resize(3, -2);
  EXPECT_EQ(a.rows(), 0);
  const matrixT huge(1 << 30, 1 << 30);
  EXPECT_TRUE(huge.empty());
  EXPECT_NE(LogText().find("matrixT: Invalid matrix size!"), std::string::npos);
  const matrixT::Point p = Make({{1, 2}, {3, 4}}).Apply(1, 1);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  EXPECT_NE(LogText().find("matrixT::Apply: Not a 3 x 3 transform!"), std::string::npos);
}

TEST(Matrix, InverseOfEmptyIsEmpty) { EXPECT_TRUE((!matrixT()).empty()); }

}  // namespace
