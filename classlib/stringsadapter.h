// The counted interface a string list holds for an outside client that mirrors
// its contents (an automation adapter): the list tells the client when it
// starts and stops referencing it, and keeps one counted reference meanwhile.
#pragma once

#include <utility>

class TStrings;

// COM-style reference counting, as interfaces handed between objects use it.
class IRefCounted {
public:
  virtual long AddRef() = 0;
  virtual long Release() = 0;

protected:
  ~IRefCounted() = default;
};

class IStringsAdapter : public IRefCounted {
public:
  virtual void ReferenceStrings(TStrings* strings) = 0;
  virtual void ReleaseStrings() = 0;

protected:
  ~IStringsAdapter() = default;
};

// Holds one counted reference to an interface (null allowed).
template <class I> class TInterfacePtr {
public:
  TInterfacePtr() = default;
  TInterfacePtr(I* p) : FPtr(p) {
    if (FPtr) FPtr->AddRef();
  }
  TInterfacePtr(const TInterfacePtr& other) : TInterfacePtr(other.FPtr) {}
  TInterfacePtr(TInterfacePtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
  ~TInterfacePtr() {
    if (FPtr) FPtr->Release();
  }
  TInterfacePtr& operator=(TInterfacePtr other) noexcept {
    std::swap(FPtr, other.FPtr);
    return *this;
  }
  I* Get() const { return FPtr; }
  I* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }

private:
  I* FPtr = nullptr;
};
