#!/usr/bin/env python3
"""Turns the benchmark programs' JSON into the markdown results table."""
import json
import sys


def load(paths):
    runs, context = {}, {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        context = data.get("context", context)
        for run in data["benchmarks"]:
            # Repeated benchmarks: keep the median over the repetitions.
            if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
                continue
            # Registered benchmarks carry their settings in the name; keep the first part.
            name = run.get("run_name", run["name"]).split("/iterations:")[0].split("/real_time")[0]
            name = "/".join(part for part in name.split("/") if not part.isdigit())
            runs[name] = run
    return runs, context


def load_text(context):
    load = context.get("load_avg")
    return "unknown" if not load else " / ".join(f"{value:.2f}" for value in load) + " (1 / 5 / 15 min)"


RIDES = ["urban", "race", "flight", "rough", "coaster"]
CHANNELS = ["surge", "sway", "heave", "roll", "pitch", "yaw"]
# The rides with sustained fore-aft and sideways forces, on which the lag of the tilt is judged.
LAG_RIDES = ["urban", "race"]


def quality_summary(candidate):
    rides = candidate["rides"]
    present = [r for r in RIDES if r in rides]
    summary = {
        "rides": {r: rides[r]["mean_nrmse"] for r in present},
        "mean": sum(rides[r]["mean_nrmse"] for r in present) / len(present),
        "false": sum(rides[r]["false_cue_s"] for r in present),
        "channels": {c: sum(rides[r]["channels"][c]["nrmse"] for r in present) / len(present) for c in CHANNELS},
    }
    for c in ("surge", "sway"):
        lags = [rides[r]["channels"][c]["lag_s"] for r in LAG_RIDES if r in rides]
        summary[c + "_lag"] = None if any(l is None for l in lags) or not lags else max(lags)
    summary["share"] = {a: max(rides[r]["range_share"][a] for r in present) for a in ("pitch", "roll", "yaw", "height")}
    return summary


def quality_rows(path, row, verdict):
    """Adds the goal rows of item 7 to the main table; returns the detailed tables."""
    with open(path) as f:
        data = json.load(f)
    found = {c["name"]: (c, quality_summary(c)) for c in data["candidates"]}
    reference = next((s for c, s in found.values() if c["role"] == "reference"), None)
    before = found.get("road (0.6)", (None, None))[1]
    road = found.get("road", (None, None))[1]
    if reference and before and road:
        ratio = road["mean"] / reference["mean"]
        row("7. Cue quality, road preset: mean perceived nRMSE over the rides", f"{road['mean']:.3f}",
            f"classical washout {reference['mean']:.3f}", f"{ratio:.2f}", "≤ 0.80×", verdict(ratio <= 0.8))
        row("7. Cue quality, road preset: wrong-way cues, all rides and channels", f"{road['false']:.1f} s",
            f"road (0.6) {before['false']:.1f} s", f"{road['false'] / before['false']:.2f}", "≤ 0.5×",
            verdict(road["false"] <= 0.5 * before["false"]))
        lags = [road["surge_lag"], road["sway_lag"]]
        lag_text = " / ".join("n/a" if l is None else f"{l:.2f} s" for l in lags)
        before_lags = " / ".join("n/a" if l is None else f"{l:.2f} s" for l in (before["surge_lag"], before["sway_lag"]))
        row("7. Cue quality, road preset: lag of the surge / sway cue (worst of urban and race)", lag_text,
            f"road (0.6) {before_lags}", "", "≤ 0.5 s", verdict(None not in lags and max(lags) <= 0.5))
        rot = " / ".join(f"{road['channels'][c]:.3f}" for c in ("roll", "pitch", "yaw"))
        rot_before = " / ".join(f"{before['channels'][c]:.3f}" for c in ("roll", "pitch", "yaw"))
        row("7. Cue quality, road preset: roll / pitch / yaw nRMSE, mean over the rides", rot,
            f"road (0.6) {rot_before}", "", "no worse",
            verdict(all(road["channels"][c] <= before["channels"][c] + 1e-9 for c in ("roll", "pitch", "yaw"))))

    lines = ["", "## 7. Cue quality", "",
             f"Each ride of `tools/motion/scenarios.py` cued at {data['rate_hz']:.0f} Hz and judged on what a rider "
             "perceives (otolith and semicircular-canal models of Telban and Cardullo, 2005; `cueing/evaluation/`), "
             f"on an Orvida seat ({data['stroke_m'] * 1000:.0f} mm stroke). Figures: nRMSE of the perceived signals "
             "(seat against vehicle), averaged over the six channels; 1 is a seat that stays still. `(0.6)`: the "
             "presets of the previous release, fed acceleration without gravity as they were; the classical washout "
             "is fed specific force and runs within the road preset's limits.", "",
             "| Cueing | " + " | ".join(RIDES) + " | mean | wrong-way cues | surge / sway lag | "
             + " | ".join(CHANNELS) + " | most of a range used |",
             "| --- |" + " --- |" * (len(RIDES) + 4 + len(CHANNELS))]
    for name, (candidate, s) in found.items():
        lag = " / ".join("n/a" if s[c + "_lag"] is None else f"{s[c + '_lag']:.2f} s" for c in ("surge", "sway"))
        share = ", ".join(f"{a} {100 * v:.0f}%" for a, v in s["share"].items())
        lines.append(f"| {name} | " + " | ".join(f"{s['rides'].get(r, float('nan')):.3f}" for r in RIDES) +
                     f" | **{s['mean']:.3f}** | {s['false']:.1f} s | {lag} | " +
                     " | ".join(f"{s['channels'][c]:.3f}" for c in CHANNELS) + f" | {share} |")
    return lines


def main():
    args = sys.argv[1:]
    quality = None
    if "--quality" in args:
        at = args.index("--quality")
        quality = args[at + 1]
        del args[at:at + 2]
    runs, context = load(args)

    def get(name, key):
        run = runs.get(name)
        if run is None or run.get("error_occurred"):
            return None
        return run.get(key)

    def us(value):
        return "n/a" if value is None else f"{value:.1f} µs"

    def ratio(a, b):
        return "n/a" if a is None or not b else f"{a / b:.2f}"

    def verdict(ok):
        return "n/a" if ok is None else ("yes" if ok else "**no**")

    rows = []

    def row(measure, figure, baseline="", rat="", target="", met=""):
        rows.append(f"| {measure} | {figure} | {baseline} | {rat} | {target} | {met} |")

    for label, name in (("no-op", "caller_cost/noop_callback"), ("copying", "caller_cost/copying_callback")):
        med, p99 = get(name, "median_us"), get(name, "p99_us")
        target = "≤ 5 µs / ≤ 20 µs" if label == "copying" else ""
        met = verdict(None if med is None else med <= 5 and p99 <= 20) if label == "copying" else ""
        row(f"1. Caller cost per posture, {label} log callback (median / p99)", f"{us(med)} / {us(p99)}", "",
            "", target, met)

    sbs = "latency_1khz/side_by_side"
    lm, lp = get(sbs, "library_median_us"), get(sbs, "library_p99_us")
    rm, rp = get("latency_1khz/raw_sendto", "median_us"), get("latency_1khz/raw_sendto", "p99_us")
    row("2. Posture to datagram at 1 kHz (median / p99 of all samples)", f"{us(lm)} / {us(lp)}",
        f"raw sendto {us(rm)} / {us(rp)}", f"{ratio(lm, rm)} / {ratio(lp, rp)}", "p99 ≤ 100 µs",
        verdict(None if lp is None else lp <= 100))
    hm, hp = get(sbs, "handoff_median_us"), get(sbs, "handoff_p99_us")
    row("2. The same, taking turns with a raw hand-off to a sending thread (median / p99)", f"{us(lm)} / {us(lp)}",
        f"raw hand-off {us(hm)} / {us(hp)}", f"{ratio(lm, hm)} / {ratio(lp, hp)}", "p99 ≤ 1.2×",
        verdict(None if lp is None or not hp else lp / hp <= 1.2))
    if get(sbs, "library_samples") is not None:
        ls, lmiss = get(sbs, "library_samples"), get(sbs, "library_missing")
        hs, hmiss = get(sbs, "handoff_samples"), get(sbs, "handoff_missing")
        row("2. Datagrams lost at 1 kHz", f"{lmiss:.0f} of {ls + lmiss:.0f}",
            f"raw hand-off {hmiss:.0f} of {hs + hmiss:.0f}", "", "0", verdict(lmiss == 0))
    else:
        row("2. Datagrams lost at 1 kHz", "n/a")
    lr, rr = get("sustained_rate/library", "rate_per_s"), get("sustained_rate/raw_sendto", "rate_per_s")
    lrx, rrx = get("sustained_rate/library", "received"), get("sustained_rate/raw_sendto", "received")
    sent = get("sustained_rate/library", "sent")
    rate = lambda v: "n/a" if v is None else f"{v:,.0f} /s"
    row("2. Sustained rate (datagrams arriving; a flat-out caller's older frames give way to newer)",
        f"{rate(lr)} ({lrx:.0f} of {sent:.0f})" if lr is not None else "n/a",
        f"raw sendto {rate(rr)} ({rrx:.0f} of {sent:.0f})" if rr is not None else "n/a",
        ratio(lr, rr), "≥ 0.5", verdict(None if lr is None or not rr else lr / rr >= 0.5))

    s = "stream_10k_per_s"
    if get(s, "sent") is not None:
        lost, reordered = get(s, "lost"), get(s, "reordered")
        row("3. Streamed at 10,000 postures/s: lost (older frames given way to newer) / reordered",
            f"{lost:.0f} / {reordered:.0f} of {get(s, 'sent'):.0f}", "", "", "reordered 0",
            verdict(reordered == 0 and get(s, "unknown") == 0))
    else:
        row("3. Streamed at 10,000 postures/s: lost / reordered", "n/a")
    m = "resident_memory"
    if get(m, "postures") is not None:
        growth = get(m, "rss_growth_kib")
        row(f"3. RSS before / after {get(m, 'postures'):,.0f} postures from an unpaced caller "
            f"({get(m, 'arrived'):,.0f} datagrams arrived)",
            f"{get(m, 'rss_before_kib'):,.0f} KiB / {get(m, 'rss_after_kib'):,.0f} KiB", "",
            f"growth {growth:+,.0f} KiB", "no growth", verdict(growth <= 0))
    else:
        row("3. RSS before / after postures", "n/a")

    f = "flat_out_last_frame"
    if get(f, "burst") is not None:
        fm, fp, fx = get(f, "median_us"), get(f, "p99_us"), get(f, "max_us")
        row(f"3. Flat-out caller, {get(f, 'burst'):,.0f} postures: last call to its datagram (median / max)",
            f"{us(fm)} / {us(fx)}", "", "", "median ≤ 5 ms (five frame times at 1 kHz)",
            verdict(None if fm is None else fm <= 5000 and get(f, "missing") == 0))
    else:
        row("3. Flat-out caller: last call to its datagram", "n/a")

    for function in ("0x05", "0x06", "0x0F"):
        name = f"modbus/mbap/{function}"
        om, op = get(name, "ours_median_us"), get(name, "ours_p99_us")
        bm, bp = get(name, "libmodbus_median_us"), get(name, "libmodbus_p99_us")
        row(f"4. Modbus {function} round trip, Modbus-TCP (median / p99)", f"{us(om)} / {us(op)}",
            f"libmodbus {us(bm)} / {us(bp)}", f"{ratio(om, bm)} / {ratio(op, bp)}", "median ≤ 1.2×",
            verdict(None if om is None or not bm else om / bm <= 1.2))
    for function in ("0x05", "0x06", "0x0F"):
        om, op = get(f"modbus/rtu/{function}", "ours_median_us"), get(f"modbus/rtu/{function}", "ours_p99_us")
        mm = get(f"modbus/mbap/{function}", "ours_median_us")
        row(f"4. Modbus {function} round trip, RTU-over-TCP (median / p99)", f"{us(om)} / {us(op)}",
            f"ours Modbus-TCP {us(mm)}", ratio(om, mm), "(no libmodbus client for this framing)", "")

    for label, name in (("heater, Modbus-TCP", "effect_job/heater_mbap"), ("wind, RTU-over-TCP", "effect_job/wind_rtu")):
        row(f"5. Effect call to device state changed, {label} (median / p99)",
            f"{us(get(name, 'median_us'))} / {us(get(name, 'p99_us'))}")

    for label, name in (("cued from the vehicle's motion", "cueing/step"),
                        ("a posture the game chose, through the envelope", "cueing/step_posture"),
                        ("at the corners of the ranges, the platform's limits acting", "cueing/step_limits")):
        med, p99 = get(name, "median_us"), get(name, "p99_us")
        ns = lambda v: "n/a" if v is None else f"{v * 1000:.0f} ns"
        timed = name != "cueing/step_posture"
        row(f"6. Cueing core, one step {label} (median / p99)", f"{ns(med)} / {ns(p99)}", "", "",
            "median ≤ 2 µs" if timed else "", verdict(None if med is None else med <= 2) if timed else "")

    details = quality_rows(quality, row, verdict) if quality else []

    f = "runtime/frame_interval_100hz"
    ms = lambda v: "n/a" if v is None else f"{v:.2f} ms"
    rp50, rp99, rmax = get(f, "runtime_p50_ms"), get(f, "runtime_p99_ms"), get(f, "runtime_max_ms")
    pp50, pp99, pmax = get(f, "plain_p50_ms"), get(f, "plain_p99_ms"), get(f, "plain_max_ms")
    row("8. Frame interval at the seat, motion runtime at 100 Hz, the game thread hitching 150 ms every 40 of its "
        "60 Hz frames (p50 / p99 / max)", f"{ms(rp50)} / {ms(rp99)} / {ms(rmax)}",
        f"plain sleeping loop {ms(pp50)} / {ms(pp99)} / {ms(pmax)}", ratio(rp99, pp99),
        "p99 within 1 ms of 10 ms, ≤ the plain loop's",
        verdict(None if rp99 is None or pp99 is None else abs(rp99 - 10) <= 1 and rp99 <= pp99))
    c = "runtime/frame_cost_100hz"
    cm, cp = get(c, "median_us"), get(c, "p99_us")
    row("8. One runtime frame at 100 Hz: ten steps of the cueing core through the envelope (median / p99)",
        f"{us(cm)} / {us(cp)}", "", "", "median ≤ 20 µs (2 µs a step)", verdict(None if cm is None else cm <= 20))

    errors = [f"- `{n}`: {r.get('error_message', '')}" for n, r in runs.items() if r.get("error_occurred")]
    print("# Benchmark results\n")
    print(f"Generated by `scripts/bench.sh` on {context.get('date', '?')}, {context.get('num_cpus', '?')} CPUs "
          f"at {context.get('mhz_per_cpu', '?')} MHz, Karvel built RelWithDebInfo (preset ci); Google Benchmark "
          f"reports its own library as {context.get('library_build_type', '?')}, which does not time our code. The machine is shared: timings are noisy; compare the side-by-side "
          "figures of one run, not runs with each other. Load average when the runs began: "
          f"{load_text(context)}.\n")
    print("| Measure | Figure | Side by side | Ratio | Target | Met |")
    print("| --- | --- | --- | --- | --- | --- |")
    print("\n".join(rows))
    if details:
        print("\n".join(details))
    if errors:
        print("\nBenchmarks that failed:\n")
        print("\n".join(errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
