#pragma once

#include "CoreTypes.h"

#include <algorithm>
#include <vector>

// The engine's dynamic array, with the few members the plugin uses.
template <typename T>
class TArray
{
public:
	int32 Num() const { return static_cast<int32>(Items.size()); }
	bool IsEmpty() const { return Items.empty(); }
	int32 Add(const T& Item)
	{
		Items.push_back(Item);
		return Num() - 1;
	}
	int32 AddUnique(const T& Item)
	{
		const auto Found = std::find(Items.begin(), Items.end(), Item);
		return Found != Items.end() ? static_cast<int32>(Found - Items.begin()) : Add(Item);
	}
	// Removes every element equal to Item; returns how many went.
	int32 Remove(const T& Item)
	{
		const auto Before = Items.size();
		Items.erase(std::remove(Items.begin(), Items.end(), Item), Items.end());
		return static_cast<int32>(Before - Items.size());
	}
	bool Contains(const T& Item) const { return std::find(Items.begin(), Items.end(), Item) != Items.end(); }
	template <typename Predicate>
	bool ContainsByPredicate(Predicate Pred) const { return std::any_of(Items.begin(), Items.end(), Pred); }
	template <typename Predicate>
	int32 RemoveAll(Predicate Pred)
	{
		const auto Before = Items.size();
		Items.erase(std::remove_if(Items.begin(), Items.end(), Pred), Items.end());
		return static_cast<int32>(Before - Items.size());
	}
	void Empty() { Items.clear(); }
	T& operator[](int32 Index) { return Items.at(static_cast<size_t>(Index)); }
	const T& operator[](int32 Index) const { return Items.at(static_cast<size_t>(Index)); }

	auto begin() { return Items.begin(); }
	auto end() { return Items.end(); }
	auto begin() const { return Items.begin(); }
	auto end() const { return Items.end(); }

private:
	std::vector<T> Items;
};
