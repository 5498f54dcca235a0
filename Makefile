# The two commands a newcomer needs. Each installs what is missing first.
NPROC := $(shell nproc)

.PHONY: run test

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
