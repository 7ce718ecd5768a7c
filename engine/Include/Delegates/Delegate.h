#pragma once

#include "UObject/Object.h"
#include "UObject/WeakObjectPtr.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

// A dynamic multicast delegate: what Blueprints bind to a BlueprintAssignable property. The engine binds UFUNCTIONs
// of objects by name; the stand-in binds member functions of objects it holds weakly, so that an object the
// garbage collector reclaimed is no longer called.
template <typename... ParamTypes>
class TStandInMulticastScriptDelegate
{
public:
	template <typename UserClass>
	void __Internal_AddDynamic(UserClass* Object, void (UserClass::*Method)(ParamTypes...))
	{
		__Internal_RemoveDynamic(Object, Method);
		Bindings.push_back({TWeakObjectPtr<UObject>(Object), Object,
			[Object, Method](ParamTypes... Params) { (Object->*Method)(Params...); }, MethodId(Method)});
	}

	template <typename UserClass>
	void __Internal_RemoveDynamic(UserClass* Object, void (UserClass::*Method)(ParamTypes...))
	{
		const std::vector<unsigned char> Id = MethodId(Method);
		Erase([&](const FBinding& Binding) { return Binding.Raw == Object && Binding.Method == Id; });
	}

	void RemoveAll(const void* Object)
	{
		Erase([&](const FBinding& Binding) { return Binding.Raw == Object; });
	}
	void Clear() { Bindings.clear(); }
	bool IsBound() const { return !Bindings.empty(); }

	// Calls every bound function whose object is still alive, in the order bound.
	void Broadcast(ParamTypes... Params) const
	{
		const std::vector<FBinding> Current = Bindings;
		for (const FBinding& Binding : Current)
		{
			if (Binding.Object.IsValid())
			{
				Binding.Call(Params...);
			}
		}
	}

private:
	struct FBinding
	{
		TWeakObjectPtr<UObject> Object;
		const void* Raw;
		std::function<void(ParamTypes...)> Call;
		std::vector<unsigned char> Method;
	};

	// A member function pointer's bytes tell one bound function from another of the same object.
	template <typename MethodType>
	static std::vector<unsigned char> MethodId(MethodType Method)
	{
		std::vector<unsigned char> Bytes(sizeof(Method));
		std::memcpy(Bytes.data(), &Method, sizeof(Method));
		return Bytes;
	}

	template <typename PredicateType>
	void Erase(PredicateType&& Predicate)
	{
		Bindings.erase(std::remove_if(Bindings.begin(), Bindings.end(), Predicate), Bindings.end());
	}

	std::vector<FBinding> Bindings;
};

#define AddDynamic(UserObject, FuncName) __Internal_AddDynamic(UserObject, FuncName)
#define RemoveDynamic(UserObject, FuncName) __Internal_RemoveDynamic(UserObject, FuncName)

#define DECLARE_DYNAMIC_MULTICAST_DELEGATE(DelegateName) \
	class DelegateName : public TStandInMulticastScriptDelegate<> \
	{ \
	};
#define DECLARE_DYNAMIC_MULTICAST_DELEGATE_OneParam(DelegateName, Param1Type, Param1Name) \
	class DelegateName : public TStandInMulticastScriptDelegate<Param1Type> \
	{ \
	};
