// The live view's page: one server-sent event stream of snapshots (counts
// per second per enabled channel, the pair's coincidences, its histogram and
// g2) drawn with Chart.js, and controls that each make one library call on
// the server; a failed call is shown in the error banner.
"use strict";

const TREND_SECONDS = 60;
const token = new URLSearchParams(window.location.search).get("token");
const withToken = (path) => (token ? `${path}?token=${encodeURIComponent(token)}` : path);
const palette = ["#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
                 "#bcbd22", "#17becf", "#393b79", "#637939", "#8c6d31", "#843c39", "#7b4173", "#3182bd"];

let lastSnapshot = null;
let updates = 0;
const trend = {};  // channel -> [{x: seconds ago, y: counts/s}] as {t, v}
const rows = {};   // channel -> its table row's elements

function lineChart(canvas, xTitle, yTitle, extra) {
  return new Chart(canvas, {
    type: "line",
    data: { datasets: [] },
    options: Object.assign({
      animation: false, parsing: false, normalized: true, responsive: true,
      elements: { point: { radius: 0 }, line: { borderWidth: 1.5 } },
      scales: { x: { type: "linear", title: { display: true, text: xTitle } },
                y: { title: { display: true, text: yTitle }, beginAtZero: true } },
      plugins: { legend: { display: false } },
    }, extra || {}),
  });
}

const trendChart = lineChart(document.getElementById("trend-chart"), "seconds", "counts/s",
                             { plugins: { legend: { display: true, position: "right" } } });
trendChart.options.scales.x.min = -TREND_SECONDS;
trendChart.options.scales.x.max = 0;
const histogramChart = lineChart(document.getElementById("histogram-chart"), "t(stop) - t(start) (ps)", "counts");
histogramChart.options.elements.line.stepped = "middle";
const g2Chart = lineChart(document.getElementById("g2-chart"), "tau (ps)", "g2");

function showError(text) {
  const banner = document.getElementById("error");
  banner.textContent = text;
  banner.hidden = !text;
}

async function control(request) {
  try {
    const response = await fetch(withToken("control"), {
      method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(request),
    });
    const reply = await response.json();
    showError(reply.ok ? "" : reply.error);
    return reply.ok;
  } catch (failure) {
    showError(`control not sent: ${failure}`);
    return false;
  }
}

function channelRow(channel) {
  const row = document.createElement("tr");
  row.innerHTML = `<td>${channel}</td><td><input type="checkbox" id="enable-${channel}"></td>` +
    `<td><span class="rate" id="rate-${channel}">–</span></td>` +
    `<td><input type="number" step="0.01" id="dac-${channel}"> <button id="set-dac-${channel}">set</button></td>`;
  document.querySelector("#channels tbody").appendChild(row);
  const parts = { enable: row.querySelector(`#enable-${channel}`), rate: row.querySelector(`#rate-${channel}`),
                  dac: row.querySelector(`#dac-${channel}`), dacEdited: false };
  parts.enable.addEventListener("change", () =>
    control({ action: "enable", channel: Number(channel), enabled: parts.enable.checked }));
  parts.dac.addEventListener("input", () => { parts.dacEdited = true; });
  row.querySelector(`#set-dac-${channel}`).addEventListener("click", async () => {
    if (await control({ action: "dac", channel: Number(channel), value: Number(parts.dac.value) })) {
      parts.dacEdited = false;
    }
  });
  return parts;
}

function fillFormOnce(id, value) {
  const input = document.getElementById(id);
  if (input.value === "") input.value = value;
}

function show(snapshot) {
  lastSnapshot = snapshot;
  updates += 1;
  const now = snapshot.time;
  for (const [channel, state] of Object.entries(snapshot.channels)) {
    const parts = rows[channel] || (rows[channel] = channelRow(channel));
    parts.enable.checked = state.enabled;
    if (!parts.dacEdited && document.activeElement !== parts.dac) parts.dac.value = state.dac;
    const rate = snapshot.rates[channel];
    parts.rate.textContent = rate === undefined ? "off" : String(rate);
    if (rate !== undefined) (trend[channel] = trend[channel] || []).push({ t: now, v: rate });
  }
  trendChart.data.datasets = Object.keys(trend).filter((channel) => channel in snapshot.rates).map((channel) => {
    const points = trend[channel].filter((point) => now - point.t <= TREND_SECONDS);
    trend[channel] = points;
    const colour = palette[(Number(channel) - 1) % palette.length];
    return { label: `ch ${channel}`, borderColor: colour, backgroundColor: colour,
             data: points.map((point) => ({ x: point.t - now, y: point.v })) };
  });
  trendChart.update("none");

  const [ch1, ch2] = snapshot.pair;
  document.getElementById("coincidence-channel").textContent = ch1;
  document.getElementById("coincidence-rate").textContent = String(snapshot.coincidence_rate);
  document.getElementById("pair-label").textContent = `channel ${ch2} after ${ch1}, ±${snapshot.window_ps} ps`;
  fillFormOnce("coins-window", snapshot.coins_window_ps);
  fillFormOnce("pair-ch1", ch1);
  fillFormOnce("pair-ch2", ch2);
  fillFormOnce("pair-window", snapshot.window_ps);
  histogramChart.data.datasets = [{ borderColor: "#1f77b4", backgroundColor: "#1f77b4",
                                    data: snapshot.histogram.map(([x, y]) => ({ x, y })) }];
  histogramChart.update("none");
  g2Chart.data.datasets = [{ borderColor: "#d62728", backgroundColor: "#d62728",
                             data: snapshot.g2.map(([x, y]) => ({ x, y })) }];
  g2Chart.update("none");
  document.getElementById("peak").textContent = snapshot.peak_ps === null ? "–" : String(snapshot.peak_ps);
  if (snapshot.errors.length) showError(snapshot.errors.join("; "));
}

document.getElementById("coins-form").addEventListener("submit", (event) => {
  event.preventDefault();
  control({ action: "coins_window", value: Number(document.getElementById("coins-window").value) });
});
document.getElementById("pair-form").addEventListener("submit", (event) => {
  event.preventDefault();
  control({ action: "pair", ch1: Number(document.getElementById("pair-ch1").value),
            ch2: Number(document.getElementById("pair-ch2").value),
            window_ps: Number(document.getElementById("pair-window").value) });
});
document.getElementById("clear-histogram").addEventListener("click", () => control({ action: "clear" }));

const status = document.getElementById("status");
const events = new EventSource(withToken("events"));
events.onopen = () => { status.textContent = "live"; status.className = "live"; };
events.onerror = () => { status.textContent = "disconnected, retrying…"; status.className = "down"; };
events.onmessage = (message) => show(JSON.parse(message.data));

// For scripts driving the page (the browser test reads the same numbers).
window.veltranoLive = { latest: () => lastSnapshot, updates: () => updates };
