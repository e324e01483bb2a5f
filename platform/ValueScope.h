#pragma once
// Gives a value another for the length of a scope, however the scope ends (a longer or shorter
// wait, say).
#include <cstdint>

class ValueScope {
  public:
    ValueScope(int32_t& Value, int32_t During) : value_(Value), saved_(Value) { value_ = During; }
    ~ValueScope() { value_ = saved_; }
    ValueScope(const ValueScope&) = delete;
    ValueScope& operator=(const ValueScope&) = delete;

  private:
    int32_t& value_;
    int32_t saved_;
};
