// Serves a folder with `python3 -m http.server` and opens its pages in Debian's chromium, headless,
// through playwright-core. Console errors and page errors are collected for the caller to check.
import { spawn } from "node:child_process";
import { chromium } from "playwright-core";

const CHROMIUM_FLAGS = [
  "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
];

// Starts the server on a free port; resolves with its address once it listens.
function serve(folder) {
  const server = spawn("python3", ["-u", "-m", "http.server", "0", "--bind", "127.0.0.1"],
                       { cwd: folder, stdio: ["ignore", "pipe", "pipe"] });
  return new Promise((resolve, reject) => {
    let seen = "";
    server.stdout.on("data", (chunk) => {
      seen += chunk;
      const port = /port (\d+)/.exec(seen);
      if (port) resolve({ server, address: `http://127.0.0.1:${port[1]}/` });
    });
    server.on("exit", (code) => reject(new Error(`http.server ended (${code}) before it listened`)));
  });
}

export async function openBrowser(folder) {
  const { server, address } = await serve(folder);
  const browser = await chromium.launch({
    executablePath: process.env.VESPERINE_CHROMIUM || "/usr/bin/chromium",
    headless: true,
    // playwright gives the browser an empty profile of its own.
    args: CHROMIUM_FLAGS,
  });
  const errors = [];
  return {
    address,
    errors,
    async page(path, viewport = { width: 1280, height: 900 }) {
      const page = await browser.newPage({ viewport });
      page.on("console", (message) => {
        if (message.type() === "error") errors.push(message.text());
      });
      page.on("pageerror", (error) => errors.push(String(error)));
      await page.goto(address + path);
      return page;
    },
    async close() {
      await browser.close();
      server.kill();
    },
  };
}
