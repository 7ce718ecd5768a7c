using System.IO;
using Microsoft.Extensions.Logging;
using UnrealBuildTool;

public class Karvel : ModuleRules
{
	// Where the plugin looks for the library at run time, in the order it looks.
	private static readonly string[] LibraryLocations =
	{
		"Binaries/ThirdParty/Win64/Karvel.dll",
		"Source/Karvel/Win64/Karvel.dll",
	};

	public Karvel(ReadOnlyTargetRules Target) : base(Target)
	{
		PCHUsage = PCHUsageMode.UseExplicitOrSharedPCHs;

		// KarvelSeatCore: the plugin's engine-free module (motion cueing, seat models, host rules), whose types
		// appear in this module's public headers.
		PublicDependencyModuleNames.AddRange(new string[] { "Core", "CoreUObject", "Engine", "KarvelSeatCore" });

		// IPluginManager, used to find the library next to the plugin.
		PrivateDependencyModuleNames.AddRange(new string[] { "Projects" });

		// The library is loaded by path at run time, never linked. Staging whichever copy is there keeps a
		// packaged game working the way the editor does; the plugin loads the first of them that exists.
		// The guard that parks the seat after a crash is started from beside the library, so it is staged with it.
		bool bStaged = false;
		foreach (string Location in LibraryLocations)
		{
			if (File.Exists(Path.Combine(PluginDirectory, Location)))
			{
				RuntimeDependencies.Add("$(PluginDir)/" + Location);
				string Guard = Path.Combine(Path.GetDirectoryName(Location), "karvel-guard.exe").Replace('\\', '/');
				if (File.Exists(Path.Combine(PluginDirectory, Guard)))
				{
					RuntimeDependencies.Add("$(PluginDir)/" + Guard);
				}
				else
				{
					Logger.LogWarning("Karvel: no karvel-guard.exe beside {Library}; a packaged game's seat will not be parked after a crash.", Location);
				}
				bStaged = true;
			}
		}
		if (!bStaged)
		{
			Logger.LogWarning("Karvel: no Karvel.dll at {Locations} under {PluginDirectory}; a packaged game will not find the seat library.",
				string.Join(" or ", LibraryLocations), PluginDirectory);
		}
	}
}
