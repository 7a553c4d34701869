// matrixT: a dense matrix of doubles behind a handle to shared,
// reference-counted storage. Copying a handle shares the storage; every
// operation that changes elements first gives its handle a private copy when
// the storage is shared (copy on write), so handles behave as independent
// matrices while the many temporary products of a screen transform never copy
// element arrays.
//
// The map view, the map calibration and the filter dialog use it for 3 x 3
// homogeneous plane transforms acting on column vectors (x, y, 1).
//
// Errors never stop the program and never throw. Each is logged once per
// occurrence with LogMessage, and the failed operation does not go on:
//   - an element index outside the logical size logs
//     "matrixT::operator(): Index out of range!"; the writable access returns
//     a scratch element of the handle (set to 0 at each such access, shared
//     with nothing), the read-only access returns 0;
//   - A *= B with columns(A) != rows(B) logs
//     "matrixT::operator*= : Inconsistent matrix sizes in multiplication!" and
//     leaves A an empty 0 x 0 matrix (so does A * B);
//   - !A of a non-square A logs
//     "matrixT::operator!: Inversion of a non-square matrix", of a singular A
//     "matrixT::operator!: Inversion of a singular matrix"; both return an
//     empty 0 x 0 matrix;
//   - a negative size, more than 2^24 elements, or storage that cannot be
//     had logs
//     "matrixT: Invalid matrix size!" and leaves an empty 0 x 0 matrix.
//
// Threads: a handle is used by one thread at a time; handles sharing storage
// may live on different threads (the count is atomic).
#pragma once

#include <cstddef>

namespace rovana {

class matrixT {
 public:
  matrixT() = default;  // 0 x 0
  // Elements start at 0.
  matrixT(int rows, int columns);
  matrixT(const matrixT& other) noexcept;
  matrixT& operator=(const matrixT& other) noexcept;
  matrixT(matrixT&& other) noexcept;
  matrixT& operator=(matrixT&& other) noexcept;
  ~matrixT();

  int rows() const;
  int columns() const;
  bool empty() const { return rows() == 0 || columns() == 0; }

  // Element (row, column), 0-based. The reference stays valid until the next
  // copy, assignment or change of size of this handle: do not keep it across
  // one (a copy taken afterwards would share the element).
  double& operator()(int row, int column);
  // Read-only access that never copies shared storage.
  double at(int row, int column) const;
  double operator()(int row, int column) const { return at(row, column); }

  // Square of size min(rows, columns), set to the identity.
  void Identity();
  // The plane transforms: a matrix smaller than 3 x 3 first becomes 3 x 3,
  // then Identity, then the elements below are set.
  //   Scaling:     (0,0) = sx, (1,1) = sy, (2,2) = 1
  //   Rotation:    (0,0) = cos a, (0,1) = sin a, (1,0) = -sin a, (1,1) = cos a
  //   Translation: (0,2) = tx, (1,2) = ty
  void Scaling(double sx, double sy);
  void Scaling(double s) { Scaling(s, s); }
  void Rotation(double radians);
  void Translation(double tx, double ty);

  // this = this x other, computed into new storage of rows() x other.columns().
  matrixT& operator*=(const matrixT& other);
  matrixT operator*(const matrixT& other) const;
  // The inverse by Gauss-Jordan elimination with partial pivoting.
  matrixT operator!() const;

  // Keeps the overlapping elements and sets the new ones to 0. The storage is
  // reallocated only when its allocated size differs from the new size.
  void Resize(int rows, int columns);

  // A point (x, y) through a 3 x 3 homogeneous transform: the first two rows
  // of this x (x, y, 1). Another size is an error
  // ("matrixT::Apply: Not a 3 x 3 transform!") and gives (0, 0).
  struct Point {
    double x = 0, y = 0;
  };
  Point Apply(double x, double y) const;

  // Same size and equal elements.
  bool operator==(const matrixT& other) const;

  // How many handles share this handle's storage (0 for a handle without
  // storage); for tests of the sharing.
  int shareCount() const;

 private:
  struct Storage;

  static Storage* Allocate(int rows, int columns);
  static void Release(Storage* storage) noexcept;
  // Gives this handle storage of its own (a copy when shared).
  void Detach();
  void Adopt(Storage* storage) noexcept;  // releases the old storage

  Storage* storage_ = nullptr;  // null: 0 x 0
  double scratch_ = 0;          // target of out-of-range writes
};

}  // namespace rovana
