// The site kept for lessons without network. The first visit keeps every file of the site; later
// visits are served from what was kept, even with the network gone. This file is written at each
// build with the site's files and a hash of their contents: a new site is a new sw.js, which the
// browser fetches at the next visit and installs beside the old one; it keeps the new files, and
// takes over from the old one at once, so the visit after that shows the new site. A cache first,
// rather than the network first, so that a slow school network does not hold the page up.
'use strict';
const CACHE = 'rendezvous-@VERSION@';
const FILES = ['./', @FILES@];

self.addEventListener('install', e => {
  // Past the browser's own cache, so that a new version keeps new files.
  e.waitUntil(caches.open(CACHE)
                  .then(cache => cache.addAll(FILES.map(f => new Request(f, {cache: 'reload'}))))
                  .then(() => self.skipWaiting()));
});

self.addEventListener('activate', e => {
  e.waitUntil(caches.keys()
                  .then(keys => Promise.all(keys.filter(k => k.startsWith('rendezvous-') && k != CACHE)
                                                .map(k => caches.delete(k))))
                  .then(() => self.clients.claim()));
});

// The site's files from the cache (the page whatever its `?cas=` or `?scenario=`), anything else, a
// teacher's scenario file among them, from the network.
self.addEventListener('fetch', e => {
  if (e.request.method != 'GET') return;
  e.respondWith(caches.open(CACHE)
                    .then(cache => cache.match(e.request, {ignoreSearch: true}))
                    .then(kept => kept || fetch(e.request)));
});
