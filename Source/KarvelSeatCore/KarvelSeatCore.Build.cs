using UnrealBuildTool;

// The engine-free core of the seat plugin: motion cueing, the seat models and the rules every host of the seat
// library follows. Its sources include no engine header (only Private/KarvelSeatCoreModule.cpp registers the
// module), so the same files also build outside the engine, in the project's tools, tests and benchmarks.
public class KarvelSeatCore : ModuleRules
{
	public KarvelSeatCore(ReadOnlyTargetRules Target) : base(Target)
	{
		PCHUsage = PCHUsageMode.UseExplicitOrSharedPCHs;

		PublicDependencyModuleNames.AddRange(new string[] { "Core" });
	}
}
