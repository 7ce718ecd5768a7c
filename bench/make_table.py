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


def main():
    runs, context = load(sys.argv[1:])

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
                        ("a posture the game chose, through the envelope", "cueing/step_posture")):
        med, p99 = get(name, "median_us"), get(name, "p99_us")
        ns = lambda v: "n/a" if v is None else f"{v * 1000:.0f} ns"
        row(f"6. Cueing core, one step {label} (median / p99)", f"{ns(med)} / {ns(p99)}", "", "",
            "median ≤ 1 µs" if name == "cueing/step" else "",
            verdict(None if med is None else med <= 1) if name == "cueing/step" else "")

    f = "runtime/frame_interval_100hz"
    ms = lambda v: "n/a" if v is None else f"{v:.2f} ms"
    rp50, rp99, rmax = get(f, "runtime_p50_ms"), get(f, "runtime_p99_ms"), get(f, "runtime_max_ms")
    pp50, pp99, pmax = get(f, "plain_p50_ms"), get(f, "plain_p99_ms"), get(f, "plain_max_ms")
    row("7. Frame interval at the seat, motion runtime at 100 Hz, the game thread hitching 150 ms every 40 of its "
        "60 Hz frames (p50 / p99 / max)", f"{ms(rp50)} / {ms(rp99)} / {ms(rmax)}",
        f"plain sleeping loop {ms(pp50)} / {ms(pp99)} / {ms(pmax)}", ratio(rp99, pp99),
        "p99 within 1 ms of 10 ms, ≤ the plain loop's",
        verdict(None if rp99 is None or pp99 is None else abs(rp99 - 10) <= 1 and rp99 <= pp99))
    c = "runtime/frame_cost_100hz"
    cm, cp = get(c, "median_us"), get(c, "p99_us")
    row("7. One runtime frame at 100 Hz: ten steps of the cueing core through the envelope (median / p99)",
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
    if errors:
        print("\nBenchmarks that failed:\n")
        print("\n".join(errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
