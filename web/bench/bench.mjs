// Prints the WebAssembly fill against the native one, as ratios, and the page's wipe frame time
// and its time from opening to the first fill. Figures only: nothing here passes or fails.
//
//   node bench.mjs BENCH_PAGE_DIR SITE_DIR NATIVE_BENCH
import { execFileSync } from "node:child_process";
import { openBrowser } from "../tests/browser.mjs";

const [benchDir, siteDir, nativeBench] = process.argv.slice(2);
const CASES = { uniform: "BM_FillUniform", ramp: "BM_FillRamp", maze: "BM_FillMaze" };

// The native benchmarks' medians of five repetitions, in milliseconds.
function nativeFigures() {
  const filter = `^(${Object.values(CASES).join("|")})/1920/1080$`;
  const json = execFileSync(nativeBench, [
    `--benchmark_filter=${filter}`, "--benchmark_repetitions=5",
    "--benchmark_report_aggregates_only=true", "--benchmark_format=json",
  ], { encoding: "utf8", stdio: ["ignore", "pipe", "ignore"] });
  const figures = {};
  for (const run of JSON.parse(json).benchmarks) {
    if (run.aggregate_name === "median") figures[run.run_name.split("/")[0]] = run.real_time;
  }
  return figures;
}

const native = nativeFigures();
let browser = await openBrowser(benchDir);
const page = await browser.page("bench.html");
const web = await page.evaluate(() => runBenchmarks());
await browser.close();

console.log("fill at 1920x1080       WebAssembly    native    ratio (goal: at most 2)");
for (const [name, benchName] of Object.entries(CASES)) {
  const ratio = web[name] / native[benchName];
  console.log(`${name.padEnd(22)} ${web[name].toFixed(2).padStart(9)} ms ${native[benchName].toFixed(2).padStart(6)} ms  ${ratio.toFixed(2).padStart(6)}`);
}
console.log(`wipe frame at 1920x1080: ${web.wipe.mean.toFixed(3)} ms mean, ${web.wipe.worst.toFixed(3)} ms worst (a tick and the put of its two rows; a tick every 10 ms)`);
console.log(`whole frame put at 1920x1080 (after a fill): ${web.wipe.wholeFrame.toFixed(2)} ms mean`);

browser = await openBrowser(siteDir);
const site = await browser.page("");
await site.waitForFunction(() => window.vesperine?.status.fills >= 1, null, { timeout: 30000 });
const status = await site.evaluate(() => window.vesperine.status);
await browser.close();
console.log(`page: ready ${status.openedToReady.toFixed(0)} ms after opening, first fill at ${status.openedToFirstFill.toFixed(0)} ms (one "Time Interval", 3.5 s, after ready)`);
