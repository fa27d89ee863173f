# SPDX-License-Identifier: MIT
# A worker image: quorvel-render installed from the Debian package this repository builds.
# Only what CI already runs: scripts/install-deps and scripts/build from Debian's archive, then
# cpack; nothing is fetched from elsewhere. docs/scale.md runs it as an array job.
#
#   docker build -t quorvel .
#   docker run --rm -v "$PWD/out:/out" quorvel render /usr/share/quorvel/scenes/demo.json -o /out/demo.png
#
# Debian stable as CI runs it: 12 (bookworm). The package depends on that release's library
# packages (libavformat59 and so on), so both stages are the same release.

FROM debian:bookworm AS build
COPY . /src
WORKDIR /src
RUN ./scripts/install-deps \
 && QUORVEL_BUILD_TARGETS="Quorvel quorvel-render" ./scripts/build -DQUORVEL_BUILD_TESTS=OFF \
 && cd build && cpack -G DEB

FROM debian:bookworm
COPY --from=build /src/build/quorvel_*.deb /tmp/package/
RUN cd /tmp/package \
 && apt-get update \
 && apt-get install -y --no-install-recommends ./quorvel_*.deb \
 && cd / && rm -rf /tmp/package /var/lib/apt/lists/*
ENTRYPOINT ["quorvel-render"]
CMD ["--help"]
