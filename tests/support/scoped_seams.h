#pragma once

// The one way a test changes a seam or nulls a looked-up entry: the struct is put back as it was
// when the test's scope ends, whatever the test did to it.
template <class T>
class ScopedSeams {
 public:
  explicit ScopedSeams(T& seams) : seams_(seams), saved_(seams) {}
  ~ScopedSeams() { seams_ = saved_; }
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;

  T* operator->() { return &seams_; }
  T& operator*() { return seams_; }

 private:
  T& seams_;
  T saved_;
};
