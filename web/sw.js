// Keeps the page's own files, so that it opens without a network: each is
// served from the cache at once and fetched again behind it for the next visit.
const CACHE = 'reelwright';
const FILES = ['./', 'index.html', 'style.css', 'app.js', 'worklet.js', 'reelwright.js', 'reelwright.wasm', 'manifest.webmanifest', 'icon.svg'];
self.addEventListener('install', e => e.waitUntil(caches.open(CACHE).then(c => c.addAll(FILES)).then(() => self.skipWaiting())));
self.addEventListener('activate', e => e.waitUntil(self.clients.claim()));
self.addEventListener('fetch', e => {
  const url = new URL(e.request.url), scope = new URL(self.registration.scope);
  const own = url.origin === scope.origin && FILES.some(f => new URL(f, scope).pathname === url.pathname);
  if (e.request.method !== 'GET' || !own) return;  // a tape the page opens is no file of its own
  e.respondWith(caches.open(CACHE).then(async c => {
    const kept = await c.match(e.request, {ignoreSearch: true});
    const fresh = fetch(e.request).then(r => { if (r.ok) c.put(e.request, r.clone()); return r; });
    if (!kept) return fresh;
    e.waitUntil(fresh.catch(() => null));
    return kept;
  }));
});
