#include "Containers/Ticker.h"

#include <algorithm>

FTSTicker& FTSTicker::GetCoreTicker()
{
	static FTSTicker Ticker;
	return Ticker;
}

FTSTicker::FDelegateHandle FTSTicker::AddTicker(const TCHAR*, float InDelay, TUniqueFunction<bool(float)>&& InFunction)
{
	std::lock_guard<std::mutex> Lock(Mutex);
	TSharedPtr<FElement> Element = MakeShared<FElement>();
	Element->FireTime = CurrentTime + InDelay;
	Element->DelayTime = InDelay;
	Element->Function = std::move(InFunction);
	Added.push_back(Element);
	return Element;
}

void FTSTicker::RemoveTicker(FDelegateHandle Handle)
{
	if (TSharedPtr<FElement> Element = Handle.Pin())
	{
		std::lock_guard<std::mutex> Lock(GetCoreTicker().Mutex);
		Element->bRemoved = true;
	}
}

void FTSTicker::Tick(float DeltaTime)
{
	std::vector<TSharedPtr<FElement>> Due;
	{
		std::lock_guard<std::mutex> Lock(Mutex);
		CurrentTime += DeltaTime;
		Elements.insert(Elements.end(), Added.begin(), Added.end());
		Added.clear();
		Elements.erase(std::remove_if(Elements.begin(), Elements.end(), [](const TSharedPtr<FElement>& Element) { return Element->bRemoved; }),
			Elements.end());
		Due = Elements;
	}
	for (const TSharedPtr<FElement>& Element : Due)
	{
		if (Element->bRemoved || Element->FireTime > CurrentTime)
		{
			continue;
		}
		if (Element->Function(DeltaTime))
		{
			Element->FireTime = CurrentTime + Element->DelayTime;
		}
		else
		{
			std::lock_guard<std::mutex> Lock(Mutex);
			Element->bRemoved = true;
		}
	}
}

void FTSTicker::Reset()
{
	std::lock_guard<std::mutex> Lock(Mutex);
	Added.clear();
	Elements.clear();
}
