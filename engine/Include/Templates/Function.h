#pragma once

#include <memory>
#include <type_traits>
#include <utility>

// A callable that can be moved but not copied, so that it may own what it captures.
template <typename FuncType>
class TUniqueFunction;

template <typename Ret, typename... ParamTypes>
class TUniqueFunction<Ret(ParamTypes...)>
{
public:
	TUniqueFunction() = default;
	TUniqueFunction(std::nullptr_t) {}
	template <typename FunctorType, typename = std::enable_if_t<!std::is_same_v<std::decay_t<FunctorType>, TUniqueFunction>>>
	TUniqueFunction(FunctorType&& Functor) : Callable(std::make_unique<TModel<std::decay_t<FunctorType>>>(std::forward<FunctorType>(Functor)))
	{
	}
	TUniqueFunction(TUniqueFunction&&) = default;
	TUniqueFunction& operator=(TUniqueFunction&&) = default;

	explicit operator bool() const { return Callable != nullptr; }
	Ret operator()(ParamTypes... Params) const { return Callable->Call(std::forward<ParamTypes>(Params)...); }

private:
	struct FConcept
	{
		virtual ~FConcept() = default;
		virtual Ret Call(ParamTypes... Params) = 0;
	};
	template <typename FunctorType>
	struct TModel final : FConcept
	{
		explicit TModel(FunctorType&& InFunctor) : Functor(std::move(InFunctor)) {}
		explicit TModel(const FunctorType& InFunctor) : Functor(InFunctor) {}
		Ret Call(ParamTypes... Params) override { return Functor(std::forward<ParamTypes>(Params)...); }
		FunctorType Functor;
	};

	std::unique_ptr<FConcept> Callable;
};
