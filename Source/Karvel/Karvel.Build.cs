using UnrealBuildTool;

public class Karvel : ModuleRules
{
	public Karvel(ReadOnlyTargetRules Target) : base(Target)
	{
		PCHUsage = PCHUsageMode.UseExplicitOrSharedPCHs;

		PublicDependencyModuleNames.AddRange(new string[] { "Core", "CoreUObject", "Engine" });

		// The engine-free cueing core includes its headers by bare name, as its own hosts and tests build it.
		PublicIncludePaths.Add(System.IO.Path.Combine(ModuleDirectory, "Public", "MotionCueing"));

		// IPluginManager, used to find the library next to the plugin.
		PrivateDependencyModuleNames.AddRange(new string[] { "Projects" });

		// The library is loaded by path at run time, never linked; staging it keeps packaged games working.
		RuntimeDependencies.Add("$(PluginDir)/Binaries/ThirdParty/Win64/Karvel.dll");
	}
}
