import os
from typing import NamedTuple, overload, Literal, Union

import numpy as np
import numpy.typing as npt

__version__: str
MAXIMUM_SIDE: int
RULES: tuple[str, ...]
KEPT: int
PAINTED: int
FROM_LEFT: int
FROM_RIGHT: int
FROM_BELOW: int
FROM_ABOVE: int
LEFT_AT_ZERO: int
FROM_NEAREST: int
FROM_BACKGROUND: int
FROM_GUIDE: int
FILL_MAP_COLOURS: tuple[tuple[int, int, int], ...]

Raster = npt.NDArray[Union[np.uint8, np.uint16, np.int32, np.float32]]
Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
Rule = Literal["rows-columns", "nearest", "background", "guided"]
Guide = npt.NDArray[Union[np.uint8, np.uint16]]
Far = Literal["larger", "smaller"]

class FileError(OSError): ...

class FillCounts(NamedTuple):
    regions_found: int
    regions_painted: int
    pixels_painted: int
    pixels_filled: int
    pixels_left_at_zero: int

@overload
def fill_holes(array: Raster, *, out: Raster | None = ..., fill_map: Literal[False] = ...,
               counts: Literal[False] = ..., smallest_region: int = ..., reach: int | None = ...,
               rule: Rule = ..., far: Far = ..., guide: Guide | None = ...) -> Raster: ...
@overload
def fill_holes(array: Raster, *, out: Raster | None = ..., fill_map: bool = ..., counts: bool = ...,
               smallest_region: int = ..., reach: int | None = ..., rule: Rule = ..., far: Far = ...,
               guide: Guide | None = ...) -> Raster | tuple[Raster, npt.NDArray[np.uint8]] | tuple[Raster, FillCounts] | tuple[
                   Raster, npt.NDArray[np.uint8], FillCounts]: ...

class Filler:
    def __init__(self) -> None: ...
    def fill(self, array: Raster, *, out: Raster | None = ..., fill_map: bool = ..., counts: bool = ...,
             smallest_region: int = ..., reach: int | None = ..., rule: Rule = ..., far: Far = ...,
             guide: Guide | None = ...) -> Raster | tuple[Raster, npt.NDArray[np.uint8]] | tuple[Raster, FillCounts] | tuple[
                 Raster, npt.NDArray[np.uint8], FillCounts]: ...
    @property
    def held_bytes(self) -> int: ...

def fill_file(input: Path, output: Path, *, fill_map: Path | None = ..., force: bool = ...,
              smallest_region: int = ..., reach: int | None = ..., rule: Rule = ..., far: Far = ...,
              compression: str = ..., guide: Path | None = ...) -> FillCounts: ...
