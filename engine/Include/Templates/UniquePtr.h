#pragma once

#include <memory>
#include <utility>

// Unique ownership with the engine's spelling (IsValid, Get, Reset, Release) over std::unique_ptr.
template <typename T>
class TUniquePtr
{
public:
	TUniquePtr() = default;
	TUniquePtr(std::nullptr_t) {}
	explicit TUniquePtr(std::unique_ptr<T> InOwned) : Owned(std::move(InOwned)) {}
	template <typename U>
	TUniquePtr(TUniquePtr<U>&& Other) : Owned(Other.ReleaseStd()) {}
	TUniquePtr(TUniquePtr&&) = default;
	TUniquePtr& operator=(TUniquePtr&&) = default;
	TUniquePtr& operator=(std::nullptr_t)
	{
		Owned.reset();
		return *this;
	}

	bool IsValid() const { return Owned != nullptr; }
	explicit operator bool() const { return IsValid(); }
	T* Get() const { return Owned.get(); }
	T* operator->() const { return Owned.get(); }
	T& operator*() const { return *Owned; }
	void Reset() { Owned.reset(); }
	T* Release() { return Owned.release(); }
	std::unique_ptr<T> ReleaseStd() { return std::move(Owned); }

private:
	std::unique_ptr<T> Owned;
};

template <typename T, typename... ArgTypes>
TUniquePtr<T> MakeUnique(ArgTypes&&... Args)
{
	return TUniquePtr<T>(std::make_unique<T>(std::forward<ArgTypes>(Args)...));
}
