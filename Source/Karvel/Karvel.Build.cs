using UnrealBuildTool;

public class Karvel : ModuleRules
{
	public Karvel(ReadOnlyTargetRules Target) : base(Target)
	{
		PCHUsage = PCHUsageMode.UseExplicitOrSharedPCHs;

		PublicDependencyModuleNames.AddRange(new string[] { "Core", "CoreUObject", "Engine" });

		// IPluginManager, used to find the library next to the plugin.
		PrivateDependencyModuleNames.AddRange(new string[] { "Projects" });

		// The library is loaded by path at run time, never linked; staging it keeps packaged games working.
		RuntimeDependencies.Add("$(PluginDir)/Binaries/ThirdParty/Win64/Karvel.dll");
	}
}
