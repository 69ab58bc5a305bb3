// The report's charts, drawn with uPlot from the data the program wrote into the page. Every
// chart over time shares one cursor and one zoom; each chart marks its box data-drawn once it has
// drawn.
(function () {
    "use strict";
    const data = JSON.parse(document.getElementById("kv-data").textContent);
    const units = data.units;
    const charts = data.charts;
    const t = charts.t;
    const timeCharts = [];
    let syncing = false;

    function clock(seconds) {
        const s = Math.round(seconds);
        const m = Math.floor(s / 60) % 60;
        const r = s % 60;
        return Math.floor(s / 3600) + ":" + (m < 10 ? "0" : "") + m + ":" + (r < 10 ? "0" : "") + r;
    }

    function boxWidth(box) {
        return Math.max(320, box.clientWidth);
    }

    function fixed(digits, unit) {
        return function (u, v) {
            return v == null ? "-" : v.toFixed(digits) + " " + unit;
        };
    }

    function line(label, colour, digits, unit, extra) {
        return Object.assign({label: label, stroke: colour, width: 1, value: fixed(digits, unit)},
                             extra || {});
    }

    const timeAxis = {
        incrs: [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600],
        values: function (u, splits) {
            return splits.map(clock);
        },
        space: 70
    };

    // A chart over the trip's time in the box named name, its value axis labelled with unit
    // (which the box also carries as data-unit).
    function chart(name, unit, series, data, options) {
        const box = document.querySelector('.chart[data-chart="' + name + '"]');
        if (unit !== null) {
            box.dataset.unit = unit;
        }
        const opts = Object.assign({
            width: boxWidth(box),
            height: 220,
            cursor: {sync: {key: "kv", setSeries: false}, drag: {x: true, y: false}},
            scales: {x: {time: false}},
            axes: [timeAxis, {size: 60, label: unit}],
            series: [{label: "Time", value: function (u, v) { return v == null ? "-" : clock(v); }}]
                        .concat(series),
            hooks: {
                draw: [function () { box.dataset.drawn = "1"; }],
                setScale: [function (u, key) {
                    if (key !== "x" || syncing) {
                        return;
                    }
                    syncing = true;
                    for (const other of timeCharts) {
                        if (other !== u) {
                            other.setScale("x", {min: u.scales.x.min, max: u.scales.x.max});
                        }
                    }
                    syncing = false;
                }]
            }
        }, options || {});
        if (opts.kvDraw) {
            opts.hooks.draw.push(opts.kvDraw);
            delete opts.kvDraw;
        }
        const plot = new uPlot(opts, data, box);
        plot.kvBox = box;
        timeCharts.push(plot);
        return plot;
    }

    const s = charts.series;
    chart("speed", units.speed, [line("Speed", "#1f77b4", 1, units.speed)], [t, s.speed]);
    chart("current", "A", [line("Battery current", "#e07000", 1, "A"),
                           line("Motor current", "#7b3fb5", 1, "A")],
          [t, s.battery_current, s.motor_current]);
    chart("voltage", "V", [line("Battery voltage", "#138a72", 1, "V")], [t, s.battery_voltage]);
    chart("power", "kW", [line("Battery power", "#c0392b", 2, "kW")], [t, s.battery_power]);
    chart("temperature", units.temperature,
          [line("Controller temperature", "#8c564b", 1, units.temperature)],
          [t, s.controller_temp]);
    // Energy per distance soars while the car creeps; the scale stops at three times the trip's
    // average so that the cruising figures stay readable (the cursor still reads every value).
    // Where it is cut, a dashed red line across the top says so, and the box carries data-cut.
    const cap = data.whAverage != null && data.whAverage > 0 ? 3 * data.whAverage : null;
    const energyBox = document.querySelector('.chart[data-chart="energy"]');
    let cutAt = null;
    function markCut(u) {
        if (cutAt === null) {
            return;
        }
        const ctx = u.ctx;
        const left = u.bbox.left;
        const top = u.bbox.top;
        const right = left + u.bbox.width;
        ctx.save();
        ctx.strokeStyle = "#d62728";
        ctx.fillStyle = "#d62728";
        ctx.lineWidth = 2 * devicePixelRatio;
        ctx.setLineDash([6 * devicePixelRatio, 4 * devicePixelRatio]);
        ctx.beginPath();
        ctx.moveTo(left, top);
        ctx.lineTo(right, top);
        ctx.stroke();
        ctx.font = 12 * devicePixelRatio + "px sans-serif";
        ctx.textAlign = "right";
        ctx.textBaseline = "top";
        ctx.fillText("cut at " + cutAt.toFixed(0) + " " + units.energy +
                     " (3 x the average): higher values run off the top",
                     right - 4 * devicePixelRatio, top + 4 * devicePixelRatio);
        ctx.restore();
    }
    chart("energy", units.energy, [line("Right now", "#999999", 0, units.energy),
                                   line("Trip so far", "#2ca02c", 0, units.energy, {width: 2})],
          [t, s.wh_now, s.wh_trip],
          {kvDraw: markCut, scales: {x: {time: false}, y: {range: function (u, low, high) {
              const top = cap != null && high > cap ? cap : high;
              cutAt = top < high ? top : null;
              if (cutAt !== null) {
                  energyBox.dataset.cut = String(cutAt);
              } else {
                  delete energyBox.dataset.cut;
              }
              return [Math.min(0, low), top > Math.min(0, low) ? top : Math.min(0, low) + 1];
          }}}});

    // The status flags as bands, one lane each, from the bottom up.
    const f = charts.flags;
    const lanes = [
        ["Voltage-drop warning", [["warning", "#d62728", f.voltage_drop_warning]]],
        ["Motors", [["parallel", "#2ca02c", f.parallel],
                    ["series", "#1f77b4", f.series.map(function (v, i) {
                        return v && !f.parallel[i] ? 1 : 0;
                    })]]],
        ["Direction", [["reverse", "#d62728", f.reverse],
                       ["forward", "#2ca02c", f.forward.map(function (v, i) {
                           return v && !f.reverse[i] ? 1 : 0;
                       })]]],
        ["Motor contactors", [["on", "#2ca02c", f.motor_contactors]]],
        ["Main contactor", [["on", "#2ca02c", f.main_contactor]]],
        ["Shifting", [["shifting", "#ff9f1c", f.shifting]]],
        ["Moving", [["moving", "#2ca02c", f.stopped.map(function (v) { return v ? 0 : 1; })]]]
    ];
    const bandSeries = [];
    const bandData = [t];
    lanes.forEach(function (lane, index) {
        for (const state of lane[1]) {
            bandSeries.push({
                label: lane[1].length > 1 ? lane[0] + " " + state[0] : lane[0],
                stroke: state[1],
                fill: state[1],
                width: 0,
                fillTo: index,
                paths: uPlot.paths.stepped({align: 1}),
                points: {show: false},
                value: function (u, v) { return v == null ? "-" : (v > index ? "yes" : "no"); }
            });
            bandData.push(state[2].map(function (v) { return v ? index + 0.8 : index; }));
        }
    });
    chart("flags", null, bandSeries, bandData, {
        height: 260,
        scales: {x: {time: false}, y: {range: [0, lanes.length]}},
        axes: [timeAxis, {
            size: 170,
            splits: function () { return lanes.map(function (l, i) { return i + 0.4; }); },
            values: function (u, splits) {
                return splits.map(function (v) { return lanes[Math.round(v - 0.4)][0]; });
            },
            grid: {show: false}
        }]
    });

    // Battery volts against amps: the samples as dots, the fitted line across them.
    const vi = charts.vi;
    const batteryBox = document.querySelector('.chart[data-chart="battery"]');
    if (batteryBox !== null) {
        const fitLine = vi.i.map(function (amps, k) {
            return vi.valid && (k === 0 || k === vi.i.length - 1) ? vi.voc + vi.slope * amps : null;
        });
        new uPlot({
            width: boxWidth(batteryBox),
            height: 360,
            scales: {x: {time: false}},
            axes: [{label: "Battery current, A"}, {label: "Battery voltage, V", size: 70}],
            series: [
                {label: "Current", value: fixed(1, "A")},
                {label: "Samples", stroke: "#1f77b4", paths: function () { return null; },
                 points: {show: true, size: 3, fill: "#1f77b4"}, value: fixed(1, "V")},
                {label: vi.valid ? "Fit: Voc " + vi.voc.toFixed(1) + " V, Rint " +
                                       (-vi.slope).toFixed(3) + " ohm" : "No fit",
                 stroke: "#ff8c00", width: 2, spanGaps: true, points: {show: false},
                 value: fixed(1, "V")}
            ],
            hooks: {draw: [function () { batteryBox.dataset.drawn = "1"; }]}
        }, [vi.i, vi.v, fitLine], batteryBox);
    }

    // The battery's two figures fitted over each minute of driving.
    const m = charts.minutes;
    if (document.querySelector('.chart[data-chart="trend"]') !== null) {
        chart("trend", null, [line("Open-circuit voltage", "#138a72", 1, "V", {scale: "V"}),
                        line("Internal resistance", "#c0392b", 4, "ohm", {scale: "ohm"})],
              [m.t, m.voc, m.rint], {
            axes: [timeAxis, {scale: "V", size: 60, label: "V"},
                   {scale: "ohm", side: 1, size: 70, label: "ohm", grid: {show: false},
                    values: function (u, splits) {
                        return splits.map(function (v) { return v.toFixed(4); });
                    }}],
            scales: {x: {time: false}}
        });
    }

    window.addEventListener("resize", function () {
        for (const plot of timeCharts) {
            plot.setSize({width: boxWidth(plot.kvBox), height: plot.height});
        }
    });
})();
