#include "app/processing/MatrixT.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "app/core/Log.h"

namespace rovana {

// The shared storage: a logical size inside an allocated one, the elements
// row after row with a stride of the allocated columns.
struct matrixT::Storage {
  std::atomic<int> references{1};
  int rows = 0, columns = 0;
  int allocatedRows = 0, allocatedColumns = 0;
  std::unique_ptr<double[]> elements;

  double* row(int r) { return elements.get() + static_cast<std::size_t>(r) * static_cast<std::size_t>(allocatedColumns); }
  const double* row(int r) const {
    return elements.get() + static_cast<std::size_t>(r) * static_cast<std::size_t>(allocatedColumns);
  }
};

namespace {

constexpr const char* kIndexError = "matrixT::operator(): Index out of range!";
constexpr const char* kProductError = "matrixT::operator*= : Inconsistent matrix sizes in multiplication!";
constexpr const char* kNonSquareError = "matrixT::operator!: Inversion of a non-square matrix";
constexpr const char* kSingularError = "matrixT::operator!: Inversion of a singular matrix";
constexpr const char* kSizeError = "matrixT: Invalid matrix size!";
constexpr const char* kApplyError = "matrixT::Apply: Not a 3 x 3 transform!";

// 128 MiB of elements; far beyond any transform, and a bound on what a bad
// size may ask of the allocator.
constexpr std::size_t kMaxElements = std::size_t{1} << 24;

}  // namespace

matrixT::Storage* matrixT::Allocate(int rows, int columns) {
  if (rows < 0 || columns < 0) {
    LogMessage("%s", kSizeError);
    return nullptr;
  }
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  if (count > kMaxElements) {
    LogMessage("%s", kSizeError);
    return nullptr;
  }
  auto* storage = new (std::nothrow) Storage;
  if (!storage) {
    LogMessage("%s", kSizeError);
    return nullptr;
  }
  if (count > 0) {
    storage->elements.reset(new (std::nothrow) double[count]());
    if (!storage->elements) {
      delete storage;
      LogMessage("%s", kSizeError);
      return nullptr;
    }
  }
  storage->rows = storage->allocatedRows = rows;
  storage->columns = storage->allocatedColumns = columns;
  return storage;
}

void matrixT::Release(Storage* storage) noexcept {
  if (storage && storage->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete storage;
}

void matrixT::Adopt(Storage* storage) noexcept {
  Release(storage_);
  storage_ = storage;
}

void matrixT::Detach() {
  if (!storage_ || storage_->references.load(std::memory_order_acquire) == 1) return;
  Storage* copy = Allocate(storage_->rows, storage_->columns);
  if (copy)
    for (int r = 0; r < copy->rows; ++r) std::copy_n(storage_->row(r), copy->columns, copy->row(r));
  Adopt(copy);
}

matrixT::matrixT(int rows, int columns) : storage_(Allocate(rows, columns)) {}

matrixT::matrixT(const matrixT& other) noexcept : storage_(other.storage_) {
  if (storage_) storage_->references.fetch_add(1, std::memory_order_relaxed);
}

matrixT& matrixT::operator=(const matrixT& other) noexcept {
  if (other.storage_) other.storage_->references.fetch_add(1, std::memory_order_relaxed);
  Adopt(other.storage_);  // after the increment, so self-assignment is safe
  return *this;
}

matrixT::matrixT(matrixT&& other) noexcept : storage_(std::exchange(other.storage_, nullptr)) {}

matrixT& matrixT::operator=(matrixT&& other) noexcept {
  if (this != &other) Adopt(std::exchange(other.storage_, nullptr));
  return *this;
}

matrixT::~matrixT() { Release(storage_); }

int matrixT::rows() const { return storage_ ? storage_->rows : 0; }
int matrixT::columns() const { return storage_ ? storage_->columns : 0; }

double& matrixT::operator()(int row, int column) {
  if (row < 0 || column < 0 || row >= rows() || column >= columns()) {
    LogMessage("%s", kIndexError);
    scratch_ = 0;
    return scratch_;
  }
  Detach();
  if (!storage_) {  // the private copy could not be had
    scratch_ = 0;
    return scratch_;
  }
  return storage_->row(row)[column];
}

double matrixT::at(int row, int column) const {
  if (row < 0 || column < 0 || row >= rows() || column >= columns()) {
    LogMessage("%s", kIndexError);
    return 0;
  }
  return storage_->row(row)[column];
}

void matrixT::Identity() {
  const int n = std::min(rows(), columns());
  Detach();
  if (!storage_) return;
  storage_->rows = storage_->columns = n;
  for (int r = 0; r < n; ++r) {
    double* line = storage_->row(r);
    std::fill_n(line, n, 0.0);
    line[r] = 1;
  }
}

void matrixT::Scaling(double sx, double sy) {
  if (rows() < 3 || columns() < 3) Resize(std::max(rows(), 3), std::max(columns(), 3));
  Identity();
  if (rows() < 3) return;  // the storage could not be had (logged)
  storage_->row(0)[0] = sx;
  storage_->row(1)[1] = sy;
  storage_->row(2)[2] = 1;
}

void matrixT::Rotation(double radians) {
  if (rows() < 3 || columns() < 3) Resize(std::max(rows(), 3), std::max(columns(), 3));
  Identity();
  if (rows() < 3) return;
  const double c = std::cos(radians), s = std::sin(radians);
  storage_->row(0)[0] = c;
  storage_->row(0)[1] = s;
  storage_->row(1)[0] = -s;
  storage_->row(1)[1] = c;
}

void matrixT::Translation(double tx, double ty) {
  if (rows() < 3 || columns() < 3) Resize(std::max(rows(), 3), std::max(columns(), 3));
  Identity();
  if (rows() < 3) return;
  storage_->row(0)[2] = tx;
  storage_->row(1)[2] = ty;
}

matrixT& matrixT::operator*=(const matrixT& other) {
  if (columns() != other.rows()) {
    LogMessage("%s", kProductError);
    Adopt(nullptr);
    return *this;
  }
  const int n = rows(), m = other.columns(), inner = columns();
  Storage* product = Allocate(n, m);
  if (product) {
    for (int r = 0; r < n; ++r) {
      const double* a = storage_->row(r);
      double* out = product->row(r);
      for (int k = 0; k < inner; ++k) {
        const double factor = a[k];
        const double* b = other.storage_->row(k);
        for (int c = 0; c < m; ++c) out[c] += factor * b[c];
      }
    }
  }
  Adopt(product);  // `other` may be this very handle: read before replaced
  return *this;
}

matrixT matrixT::operator*(const matrixT& other) const {
  matrixT product(*this);
  product *= other;
  return product;
}

matrixT matrixT::operator!() const {
  const int n = rows();
  if (n != columns()) {
    LogMessage("%s", kNonSquareError);
    return {};
  }
  matrixT work(*this);
  work.Detach();
  matrixT result(n, n);
  result.Identity();
  if (n > 0 && (!work.storage_ || !result.storage_)) return {};  // logged by Allocate
  for (int i = 0; i < n; ++i) {
    // Partial pivoting: the largest magnitude in column i from row i down.
    int pivotRow = i;
    double largest = 0;
    for (int r = i; r < n; ++r) {
      const double magnitude = std::fabs(work.storage_->row(r)[i]);
      if (magnitude > largest) {
        largest = magnitude;
        pivotRow = r;
      }
    }
    if (largest == 0) {  // also when the column holds only NaN
      LogMessage("%s", kSingularError);
      return {};
    }
    if (pivotRow != i)
      for (matrixT* m : {&work, &result}) std::swap_ranges(m->storage_->row(i), m->storage_->row(i) + n, m->storage_->row(pivotRow));
    // The pivot is taken before row i is divided, since the division changes it.
    const double pivot = work.storage_->row(i)[i];
    for (matrixT* m : {&work, &result}) {
      double* line = m->storage_->row(i);
      for (int c = 0; c < n; ++c) line[c] /= pivot;
    }
    for (int k = 0; k < n; ++k) {
      if (k == i) continue;
      const double factor = work.storage_->row(k)[i];
      if (factor == 0) continue;
      for (matrixT* m : {&work, &result}) {
        const double* source = m->storage_->row(i);
        double* line = m->storage_->row(k);
        for (int c = 0; c < n; ++c) line[c] -= factor * source[c];
      }
    }
  }
  return result;
}

void matrixT::Resize(int rows, int columns) {
  if (rows < 0 || columns < 0) {
    LogMessage("%s", kSizeError);
    Adopt(nullptr);
    return;
  }
  const bool shared = storage_ && storage_->references.load(std::memory_order_acquire) > 1;
  if (storage_ && !shared && storage_->allocatedRows == rows && storage_->allocatedColumns == columns) {
    // Same allocation: clear what lies outside the old logical size.
    for (int r = 0; r < rows; ++r) {
      double* line = storage_->row(r);
      const int keep = r < storage_->rows ? std::min(storage_->columns, columns) : 0;
      std::fill(line + keep, line + columns, 0.0);
    }
    storage_->rows = rows;
    storage_->columns = columns;
    return;
  }
  Storage* fresh = Allocate(rows, columns);
  if (fresh && storage_) {
    const int keepRows = std::min(rows, storage_->rows), keepColumns = std::min(columns, storage_->columns);
    for (int r = 0; r < keepRows; ++r) std::copy_n(storage_->row(r), keepColumns, fresh->row(r));
  }
  Adopt(fresh);
}

matrixT::Point matrixT::Apply(double x, double y) const {
  if (rows() != 3 || columns() != 3) {
    LogMessage("%s", kApplyError);
    return {};
  }
  const double* r0 = storage_->row(0);
  const double* r1 = storage_->row(1);
  return {r0[0] * x + r0[1] * y + r0[2], r1[0] * x + r1[1] * y + r1[2]};
}

bool matrixT::operator==(const matrixT& other) const {
  if (rows() != other.rows() || columns() != other.columns()) return false;
  if (storage_ == other.storage_) return true;
  for (int r = 0; r < rows(); ++r)
    if (!std::equal(storage_->row(r), storage_->row(r) + columns(), other.storage_->row(r))) return false;
  return true;
}

int matrixT::shareCount() const { return storage_ ? storage_->references.load(std::memory_order_relaxed) : 0; }

}  // namespace rovana
