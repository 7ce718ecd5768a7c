#pragma once

#include <cstddef>

class UObject;

// The untyped part of every object reference, which the garbage collector reads.
class FObjectPtr
{
public:
	UObject* GetObject() const { return Object; }

protected:
	UObject* Object = nullptr;
};

template <typename T>
class TObjectPtr : public FObjectPtr
{
public:
	TObjectPtr() = default;
	TObjectPtr(std::nullptr_t) {}
	TObjectPtr(T* InObject) { Object = InObject; }

	TObjectPtr& operator=(T* InObject)
	{
		Object = InObject;
		return *this;
	}
	TObjectPtr& operator=(std::nullptr_t)
	{
		Object = nullptr;
		return *this;
	}

	T* Get() const { return static_cast<T*>(Object); }
	operator T*() const { return Get(); }
	T* operator->() const { return Get(); }
	explicit operator bool() const { return Object != nullptr; }
};
