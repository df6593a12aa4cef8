# Two entry points: `make run` builds and starts the recorder, `make test` builds
# and runs the tests. Both install what they need first.
BUILD ?= build

.PHONY: setup build run test package clean

setup:
	bash scripts/setup

build: setup
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD)

run: build
	bash scripts/run $(BUILD)/sonavel

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$$(nproc)

# The Debian package, in $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
