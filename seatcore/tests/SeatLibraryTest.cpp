// Binding the library's exports by name into the table, all or nothing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "RecordingLibrary.h"
#include "SeatHost/SeatLibrary.h"

using namespace KarvelSeat;

namespace {

// A library whose exports are those of the recording table, minus Missing.
struct FakeExports {
    explicit FakeExports(const std::string& Missing) {
        LibraryFunctions Source = KarvelSeatTest::RecordingLibrary();
        Source.SendPostureCommand = [](float, float, float, float) {};
        ForEachLibraryExport(Source, [&](auto& Slot, const char* Name, bool) {
            if (Name != Missing) Addresses[Name] = reinterpret_cast<void*>(Slot);
        });
    }
    void* operator()(const char* Name) const {
        const auto Found = Addresses.find(Name);
        return Found == Addresses.end() ? nullptr : Found->second;
    }
    std::map<std::string, void*> Addresses;
};

} // namespace

TEST(SeatLibrary, AllThirteenNeededExportsBindTheTable) {
    LibraryFunctions Table;
    EXPECT_EQ(BindLibraryFunctions(Table, FakeExports("")), nullptr);
    int Bound = 0;
    ForEachLibraryExport(Table, [&](auto& Slot, const char*, bool) { Bound += Slot != nullptr; });
    EXPECT_EQ(Bound, 14);
    EXPECT_STREQ(Table.GetVersion(), "recording");
}

TEST(SeatLibrary, OnlyTheDirectPostureCommandMayBeMissing) {
    LibraryFunctions Table;
    EXPECT_EQ(BindLibraryFunctions(Table, FakeExports("Ridova_SendPostureCommand")), nullptr);
    EXPECT_EQ(Table.SendPostureCommand, nullptr);
    int Needed = 0;
    ForEachLibraryExport(Table, [&](auto&, const char* Name, bool bNeeded) {
        Needed += bNeeded;
        EXPECT_EQ(bNeeded, std::string(Name) != "Ridova_SendPostureCommand") << Name;
    });
    EXPECT_EQ(Needed, 13);

    for (const char* Missing : {"Ridova_SetConfiguration", "Ridova_TurnOffAllEffects", "Ridova_SetLogCallback"})
        EXPECT_STREQ(BindLibraryFunctions(Table, FakeExports(Missing)), Missing);
}
