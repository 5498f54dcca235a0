# The two commands a newcomer needs. Each installs what is missing first.
NPROC := $(shell nproc)

.PHONY: run test package

run:
	bash scripts/install-deps.sh
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLO_TESTS=OFF
	cmake --build build/release -j$(NPROC)
	./build/release/src/tarvolo

test:
	bash scripts/install-deps.sh
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DTARVOLO_SANITIZE=ON -DTARVOLO_BENCH=ON
	cmake --build build/test -j$(NPROC)
	cd build/test && ctest --output-on-failure

# The Debian package from the release build, checked in a scratch root.
package:
	bash scripts/install-deps.sh
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOLO_TESTS=OFF
	cmake --build build/release -j$(NPROC)
	rm -f build/release/tarvolo_*.deb
	cd build/release && cpack -G DEB
	bash scripts/check-package.sh build/release/tarvolo_*.deb
