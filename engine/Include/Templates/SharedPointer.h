#pragma once

#include <memory>
#include <utility>

// Shared ownership with the engine's spelling (IsValid, Get, Reset) over std::shared_ptr.
template <typename T>
class TSharedPtr
{
public:
	TSharedPtr() = default;
	TSharedPtr(std::nullptr_t) {}
	explicit TSharedPtr(std::shared_ptr<T> InShared) : Shared(std::move(InShared)) {}
	template <typename U>
	TSharedPtr(const TSharedPtr<U>& Other) : Shared(Other.ToStd()) {}

	bool IsValid() const { return Shared != nullptr; }
	explicit operator bool() const { return IsValid(); }
	T* Get() const { return Shared.get(); }
	T* operator->() const { return Shared.get(); }
	T& operator*() const { return *Shared; }
	void Reset() { Shared.reset(); }
	const std::shared_ptr<T>& ToStd() const { return Shared; }

private:
	std::shared_ptr<T> Shared;
};

template <typename T, typename... ArgTypes>
TSharedPtr<T> MakeShared(ArgTypes&&... Args)
{
	return TSharedPtr<T>(std::make_shared<T>(std::forward<ArgTypes>(Args)...));
}

// A weak reference with the engine's spelling (Pin, IsValid, Reset) over std::weak_ptr.
template <typename T>
class TWeakPtr
{
public:
	TWeakPtr() = default;
	TWeakPtr(const TSharedPtr<T>& Shared) : Weak(Shared.ToStd()) {}

	TSharedPtr<T> Pin() const { return TSharedPtr<T>(Weak.lock()); }
	bool IsValid() const { return !Weak.expired(); }
	void Reset() { Weak.reset(); }

private:
	std::weak_ptr<T> Weak;
};
