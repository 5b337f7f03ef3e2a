// The benchmark page's script, built after emscripten's loader (VesperineBench is in scope).
// runBenchmarks() resolves with milliseconds: each fill case's median of five means, and the
// wipe's frame time (one tick and the put of its rows on a canvas) at 1920 x 1080.
(() => {
  "use strict";
  const WIDTH = 1920;
  const HEIGHT = 1080;
  const CASES = { uniform: 0, ramp: 1, maze: 2 };

  function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    return sorted[Math.floor(sorted.length / 2)];
  }

  // Fills until about half a second has passed, as Google Benchmark sizes its runs.
  function timeFill(engine, benchCase) {
    const once = engine._VesperineBenchFill(benchCase, WIDTH, HEIGHT, 1);
    const iterations = Math.max(3, Math.ceil(500 / Math.max(once, 0.01)));
    const means = [];
    for (let repetition = 0; repetition < 5; repetition++) {
      means.push(engine._VesperineBenchFill(benchCase, WIDTH, HEIGHT, iterations));
    }
    return median(means);
  }

  // The page's wipe: a gradient desktop, one fill, then every band tick with its put.
  function timeWipe(engine) {
    const rows = engine._VesperineStaging(WIDTH, HEIGHT, 1);
    const rgba = engine.HEAPU8.subarray(rows, rows + WIDTH * HEIGHT * 4);
    for (let i = 0; i < WIDTH * HEIGHT; i++) {
      rgba.set([(i % WIDTH) >> 3, 90, (i / WIDTH) >> 3, 255], i * 4);
    }
    const frame = engine._VesperineSetDesktop(WIDTH, HEIGHT, 1);
    const texture = engine._VesperineStaging(64, 64, 0);
    engine.HEAPU8.fill(200, texture, texture + 64 * 64 * 4);
    engine._VesperineAddTexture(64, 64);
    engine._VesperineSettings(1, 50, 21);
    const context = document.getElementById("screen").getContext("2d");
    const times = [];
    for (let tick = 0; tick < 2 + HEIGHT / 2; tick++) {
      const start = performance.now();
      const outcome = new Int32Array(engine.HEAPU8.buffer, engine._VesperineTick(), 5);
      const bytes = new Uint8ClampedArray(engine.HEAPU8.buffer, frame, WIDTH * HEIGHT * 4);
      context.putImageData(new ImageData(bytes, WIDTH, HEIGHT), 0, 0, 0, outcome[3], WIDTH,
                           outcome[4] - outcome[3] + 1);
      if (tick >= 2) times.push(performance.now() - start);
    }
    // A fill repaints every row: the put of the whole frame, for comparison.
    const whole = [];
    for (let i = 0; i < 20; i++) {
      const start = performance.now();
      const bytes = new Uint8ClampedArray(engine.HEAPU8.buffer, frame, WIDTH * HEIGHT * 4);
      context.putImageData(new ImageData(bytes, WIDTH, HEIGHT), 0, 0);
      whole.push(performance.now() - start);
    }
    const mean = (values) => values.reduce((a, b) => a + b, 0) / values.length;
    return { mean: mean(times), worst: Math.max(...times), wholeFrame: mean(whole) };
  }

  window.runBenchmarks = async () => {
    const engine = await VesperineBench();
    const results = {};
    for (const [name, benchCase] of Object.entries(CASES)) results[name] = timeFill(engine, benchCase);
    results.wipe = timeWipe(engine);
    return results;
  };
})();
