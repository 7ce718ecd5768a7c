#pragma once

#include "UObject/Object.h"
#include "UObject/WeakObjectPtr.h"

class UGameInstance;

// The base of the objects behind asynchronous Blueprint nodes: a static BlueprintCallable factory creates one,
// Activate starts the work once its delegates are bound, and it reports through BlueprintAssignable delegates.
class UBlueprintAsyncActionBase : public UObject
{
	UE_STANDIN_ENGINE_CLASS(UBlueprintAsyncActionBase, UObject)

	virtual void Activate() {}

	// Keeps this action alive with the game instance of WorldContextObject until SetReadyToDestroy.
	virtual void RegisterWithGameInstance(const UObject* WorldContextObject);
	// Done: the game instance lets it go.
	virtual void SetReadyToDestroy();

protected:
	virtual void RegisterWithGameInstance(UGameInstance* GameInstance);

	TWeakObjectPtr<UGameInstance> RegisteredWithGameInstance;
};
