// The seat model table against the models' documented records and what follows from a crank's geometry,
// computed here on its own (law of cosines), not with the library's kinematics.
#include <gtest/gtest.h>

#include <cmath>

#include "SeatModels/SeatModel.h"

using namespace KarvelSeat;

namespace {

// The pulse target of a crank at a normalised position, from the geometry alone.
double CrankPulses(const SeatModel& Model, double NormPos) {
    const double L = Model.LinkLength, R = Model.CrankRadius;
    const double Length = (L - R) + NormPos * 2 * R;
    const double Angle = std::acos((L * L - Length * Length - R * R) / (2 * R * Length));
    return Angle / 3.141592653589793 * Model.PulsesPerHalfTurn;
}

} // namespace

TEST(SeatModels, RecordsOfBothModels) {
    struct Expected {
        const SeatModel& Model;
        int Code;
        const char* Name;
        float Link, Crank, Pulses, Ratio, HomeHeight;
        bool Effects;
    };
    for (const Expected& Row : {Expected{TamselSeat, 0, "Tamsel", 200, 90, 180000, 168, 0.0f, false},
                                Expected{OrvidaSeat, 1, "Orvida", 185, 50, 120000, 168, 0.5f, true}}) {
        SCOPED_TRACE(Row.Name);
        EXPECT_EQ(Row.Model.Code, Row.Code);
        EXPECT_STREQ(Row.Model.Name, Row.Name);
        EXPECT_EQ(Row.Model.LinkLength, Row.Link);
        EXPECT_EQ(Row.Model.CrankRadius, Row.Crank);
        EXPECT_EQ(Row.Model.PulsesPerHalfTurn, Row.Pulses);
        EXPECT_EQ(Row.Model.RotationRatio, Row.Ratio);
        EXPECT_EQ(Row.Model.StrokePulses(), Row.Pulses);
        EXPECT_EQ(Row.Model.StrokeLength(), 2 * Row.Crank);
        EXPECT_EQ(Row.Model.Home.Pitch, 0.0f);
        EXPECT_EQ(Row.Model.Home.Roll, 0.0f);
        EXPECT_EQ(Row.Model.Home.Yaw, 0.0f);
        EXPECT_EQ(Row.Model.Home.Height, Row.HomeHeight) << "Tamsel homes at the bottom, Orvida mid-stroke";
        EXPECT_EQ(Row.Model.HasEffects, Row.Effects);
    }
}

// The documented pulse targets (worked by hand from the crank model) follow from the table's geometry.
TEST(SeatModels, CrankGeometryGivesTheDocumentedPulses) {
    EXPECT_NEAR(CrankPulses(TamselSeat, 0.25), 73604.98, 0.01);
    EXPECT_NEAR(CrankPulses(TamselSeat, 0.5), 103002.88, 0.01);
    EXPECT_NEAR(CrankPulses(OrvidaSeat, 0.5), 65177.62, 0.01) << "the Orvida's home target";
    EXPECT_NEAR(CrankPulses(OrvidaSeat, 0.75), 84070.89, 0.01);
    for (const SeatModel* Model : SeatModels) {
        EXPECT_NEAR(CrankPulses(*Model, 0.0), 0.0, 1e-6) << Model->Name;
        EXPECT_NEAR(CrankPulses(*Model, 1.0), Model->StrokePulses(), 1e-6) << Model->Name;
    }
}

TEST(SeatModels, CodesAndNamesFindTheirModel) {
    EXPECT_EQ(&SeatModelOf(0), &TamselSeat);
    EXPECT_EQ(&SeatModelOf(1), &OrvidaSeat);
    for (const int Other : {2, -1, 255}) EXPECT_EQ(&SeatModelOf(Other), &TamselSeat) << "the library's rule: " << Other;
    EXPECT_EQ(FindSeatModel("tamsel"), &TamselSeat);
    EXPECT_EQ(FindSeatModel("ORVIDA"), &OrvidaSeat);
    EXPECT_EQ(FindSeatModel("Orvid"), nullptr);
    EXPECT_EQ(FindSeatModel(""), nullptr);
    static_assert(SeatModelOf(1).HasEffects && !SeatModelOf(0).HasEffects, "usable at compile time");
}
